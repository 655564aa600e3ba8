#pragma once

#include <QObject>
#include <QString>

// The values a device form asks for, owned by the form and shared with its credential and
// control-method sections. Setters write at once and emit changed() only on a real change.
// Main thread only.
class DeviceFormState : public QObject
{
    Q_OBJECT
public:
    explicit DeviceFormState(QObject* parent = nullptr);

    QString address() const { return m_address; }
    QString username() const { return m_username; }
    QString password() const { return m_password; }
    QString controlMethod() const { return m_controlMethod; }
    QString port() const { return m_port; }
    QString sshport() const { return m_sshport; }
    bool ssl() const { return m_ssl; }
    // The router service behind port ("Web-SSL", "API-SSL" or "API"); never stored with a device.
    QString serviceName() const { return m_serviceName; }

    // The first of the form's values that cannot be used, as the user reads it: no hostname, a
    // bad service port, a bad SSH port, no username, no password. Empty when all pass.
    QString firstProblem() const;

    void setAddress(const QString& value);
    void setUsername(const QString& value);
    void setPassword(const QString& value);
    void setControlMethod(const QString& value);
    void setPort(const QString& value);
    void setSshport(const QString& value);
    void setSsl(bool value);
    void setServiceName(const QString& value);

signals:
    void changed();

private:
    template<typename T>
    void assign(T& field, const T& value);

    QString m_address;
    QString m_username;
    QString m_password;
    QString m_controlMethod;
    QString m_port;
    QString m_sshport;
    bool m_ssl = false;
    QString m_serviceName;
};
