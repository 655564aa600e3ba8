#include "OVRequestCommand.h"

#include <array>

namespace {
constexpr std::array allCommands {OVRequestCommand::system_health, OVRequestCommand::system_package,
    OVRequestCommand::system_package_downgrade, OVRequestCommand::system_reboot, OVRequestCommand::system_resource,
    OVRequestCommand::system_routerboard, OVRequestCommand::system_routerboard_upgrade,
    OVRequestCommand::system_shutdown};
} // namespace

QString rawValue(OVRequestCommand command)
{
    switch (command) {
    case OVRequestCommand::system_health:
        return QStringLiteral("/system/health");
    case OVRequestCommand::system_package:
        return QStringLiteral("/system/package");
    case OVRequestCommand::system_package_downgrade:
        return QStringLiteral("/system/package/downgrade");
    case OVRequestCommand::system_reboot:
        return QStringLiteral("/system/reboot");
    case OVRequestCommand::system_resource:
        return QStringLiteral("/system/resource");
    case OVRequestCommand::system_routerboard:
        return QStringLiteral("/system/routerboard");
    case OVRequestCommand::system_routerboard_upgrade:
        return QStringLiteral("/system/routerboard/upgrade");
    case OVRequestCommand::system_shutdown:
        return QStringLiteral("/system/shutdown");
    }
    return {};
}

std::optional<OVRequestCommand> requestCommandFromRawValue(const QString& value)
{
    for (const auto command : allCommands) {
        if (rawValue(command) == value)
            return command;
    }
    return std::nullopt;
}

bool isReadCommand(OVRequestCommand command)
{
    switch (command) {
    case OVRequestCommand::system_health:
    case OVRequestCommand::system_package:
    case OVRequestCommand::system_resource:
    case OVRequestCommand::system_routerboard:
        return true;
    default:
        return false;
    }
}

QString apiCommandWord(OVRequestCommand command)
{
    return isReadCommand(command) ? rawValue(command) + QStringLiteral("/print") : rawValue(command);
}

std::optional<OVRequestMethod> requestMethodFromRawValue(int value)
{
    switch (value) {
    case 0:
        return OVRequestMethod::get;
    case 1:
        return OVRequestMethod::set;
    default:
        return std::nullopt;
    }
}
