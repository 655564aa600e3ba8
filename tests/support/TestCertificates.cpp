#include "TestCertificates.h"

#include <QFile>
#include <QProcess>
#include <QSslConfiguration>

TestCertificates::TestCertificates(const QString& commonName, bool withIpSan)
    : m_dir(std::make_unique<QTemporaryDir>())
{
    m_certificatePath = m_dir->filePath("cert.pem");
    m_keyPath = m_dir->filePath("key.pem");
    QString san = "subjectAltName=DNS:" + commonName;
    if (withIpSan)
        san += ",IP:127.0.0.1";
    QProcess openssl;
    openssl.start("openssl",
        {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "2", "-subj", "/CN=" + commonName,
            "-addext", san, "-keyout", m_keyPath, "-out", m_certificatePath});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        return;
    QFile certFile(m_certificatePath);
    QFile keyFile(m_keyPath);
    if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly))
        return;
    m_certificate = QSslCertificate(certFile.readAll(), QSsl::Pem);
    m_key = QSslKey(keyFile.readAll(), QSsl::Rsa, QSsl::Pem);
}

void TestCertificates::trustForProcess() const
{
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.addCaCertificate(m_certificate);
    QSslConfiguration::setDefaultConfiguration(config);
}
