#include "DeviceFormState.h"

#include "model/Validate.h"

DeviceFormState::DeviceFormState(QObject* parent)
    : QObject(parent)
{ }

template<typename T>
void DeviceFormState::assign(T& field, const T& value)
{
    if (field == value)
        return;
    field = value;
    emit changed();
}

void DeviceFormState::setAddress(const QString& value)
{
    assign(m_address, value);
}

void DeviceFormState::setUsername(const QString& value)
{
    assign(m_username, value);
}

void DeviceFormState::setPassword(const QString& value)
{
    assign(m_password, value);
}

void DeviceFormState::setControlMethod(const QString& value)
{
    assign(m_controlMethod, value);
}

void DeviceFormState::setPort(const QString& value)
{
    assign(m_port, value);
}

void DeviceFormState::setSshport(const QString& value)
{
    assign(m_sshport, value);
}

void DeviceFormState::setSsl(bool value)
{
    assign(m_ssl, value);
}

void DeviceFormState::setServiceName(const QString& value)
{
    assign(m_serviceName, value);
}

QString DeviceFormState::firstProblem() const
{
    if (m_address.isEmpty())
        return QStringLiteral("Please add a hostname");
    const ValidateReturn servicePort = Validate::port(m_port);
    if (!servicePort.success)
        return m_serviceName + QStringLiteral(" port: ") + servicePort.message;
    const ValidateReturn sshPort = Validate::port(m_sshport);
    if (!sshPort.success)
        return QStringLiteral("SSH port: ") + sshPort.message;
    if (m_username.isEmpty())
        return QStringLiteral("Please add a username");
    if (m_password.isEmpty())
        return QStringLiteral("Please add a password");
    return QString();
}
