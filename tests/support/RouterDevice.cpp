#include "RouterDevice.h"

#include "model/Device.h"
#include "model/PersistenceController.h"
#include "model/Secrets.h"

Device* RouterDevice::insert(PersistenceController& store, const QString& controlMethod, quint16 port)
{
    Device* device = store.insertDevice();
    device->setAddress(QStringLiteral("127.0.0.1"));
    device->setControlMethod(controlMethod);
    device->setPort(QString::number(port));
    device->setUsername(QStringLiteral("admin"));
    device->setPassword(QCoro::waitFor(Secrets::encrypt(QStringLiteral("secret"))));
    device->setSsl(controlMethod == QLatin1String("REST"));
    return device;
}
