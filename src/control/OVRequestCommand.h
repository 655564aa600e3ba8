#pragma once

#include <QHashFunctions>
#include <QString>

#include <optional>

// The eight commands the application sends to a router. The raw value is the RouterOS menu
// path: "/" + the case name with "_" turned into "/".
enum class OVRequestCommand {
    system_health,
    system_package,
    system_package_downgrade,
    system_reboot,
    system_resource,
    system_routerboard,
    system_routerboard_upgrade,
    system_shutdown,
};

QString rawValue(OVRequestCommand command);
// Accepts exactly the eight paths.
std::optional<OVRequestCommand> requestCommandFromRawValue(const QString& rawValue);
// The four reads (health, package, resource, routerboard); the rest are actions.
bool isReadCommand(OVRequestCommand command);
// The API command word: the path + "/print" for reads, the bare path for actions.
QString apiCommandWord(OVRequestCommand command);

inline size_t qHash(OVRequestCommand command, size_t seed = 0)
{
    return qHash(rawValue(command), seed);
}

// Not used by any back-end; kept with its raw values 0 and 1.
enum class OVRequestMethod { get = 0, set = 1 };
std::optional<OVRequestMethod> requestMethodFromRawValue(int rawValue);
