#pragma once

#include <QtGlobal>

namespace LocalPorts {

// A loopback port nobody listens on: one the system just handed out and that was let go again.
quint16 closed();

} // namespace LocalPorts
