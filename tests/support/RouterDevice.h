#pragma once

#include <QString>
#include <QtGlobal>

class Device;
class PersistenceController;

namespace RouterDevice {

// A new device in `store` for a fake router on this machine: 127.0.0.1 at `port`, admin with the
// password "secret" (enciphered, as the store keeps it), the given control method, TLS for REST
// only. Not saved: the caller decides when.
Device* insert(PersistenceController& store, const QString& controlMethod, quint16 port);

} // namespace RouterDevice
