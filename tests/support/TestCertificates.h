#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// A self-signed certificate made at test time with the openssl command line, for "localhost"
// and 127.0.0.1. Each instance makes its own pair in a private temporary folder.
class TestCertificates
{
public:
    // commonName is the certificate's host name; the subject alternative names always hold
    // DNS:<commonName> and IP:127.0.0.1 unless withIpSan is false.
    explicit TestCertificates(const QString& commonName = QStringLiteral("localhost"), bool withIpSan = true);

    bool isValid() const { return !m_certificate.isNull() && !m_key.isNull(); }
    QSslCertificate certificate() const { return m_certificate; }
    QSslKey privateKey() const { return m_key; }
    QString certificatePath() const { return m_certificatePath; }
    QString keyPath() const { return m_keyPath; }

    // Makes this certificate trusted by every TLS connection of this process that uses the
    // default configuration (for tests that need "validssl" on to pass).
    void trustForProcess() const;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_certificatePath;
    QString m_keyPath;
    QSslCertificate m_certificate;
    QSslKey m_key;
};
