#include "SettingsViewInterface.h"

#include "widgets/Settings.h"

SettingsViewInterface::SettingsViewInterface(QWidget* parent)
    : SettingsPane(parent)
{
    addGroup();
    addHeading(QStringLiteral("Sidebar"));
    addMenuOption(QStringLiteral("Row size"), QStringLiteral("sidebarSizeComboBox"),
        {QStringLiteral("Small"), QStringLiteral("Medium"), QStringLiteral("Large")}, Settings::SidebarSize);
    addCaption(QStringLiteral("Adjusts the size of rows in the sidebar on the left."));

    addGroup();
    addHeading(QStringLiteral("Device Health"), true);
    addToggleOption(
        QStringLiteral("Show device health section"), QStringLiteral("healthEnableCheckBox"), Settings::HealthEnable);
    addCaption(QStringLiteral("Displays various device metrics underneath the basic device information section."));

    addGroup();
    addHeading(QStringLiteral("Operating System Metrics"), true);
    addToggleOption(
        QStringLiteral("Show metrics charts"), QStringLiteral("osMetricsEnableCheckBox"), Settings::OsMetricsEnable);
    addCaption(
        QStringLiteral("Displays CPU, RAM and disk usage charts on the right of the device information section."));
}
