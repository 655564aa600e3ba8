#include "DeviceFormState.h"

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
