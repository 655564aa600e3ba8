#include "SettingsViewDevices.h"

#include "OVToolbarView.h"
#include "widgets/AppState.h"
#include "widgets/Settings.h"

#include <QPointer>

SettingsViewDevices::SettingsViewDevices(AppState& state, QWidget* parent)
    : SettingsPane(parent)
    , m_state(state)
{
    addGroup();
    addMenuOption(QStringLiteral("Release Channel"), QStringLiteral("releaseChannelComboBox"),
        {QStringLiteral("Stable"), QStringLiteral("Beta")}, Settings::ReleaseChannel,
        [this](const QString&) { fetchLatestRouterOS(); });
    addCaption(QStringLiteral("Select from RouterOS release (stable) or testing (beta) update channels."));

    addGroup();
    addHeading(QStringLiteral("Credentials"));
    addToggleOption(
        QStringLiteral("Validate when adding"), QStringLiteral("validateOnAddCheckBox"), Settings::ValidateOnAdd);
    addToggleOption(
        QStringLiteral("Validate when editing"), QStringLiteral("validateOnEditCheckBox"), Settings::ValidateOnEdit);
    addCaption(QStringLiteral(
        "When adding or editing accounts these options test the account details before saving or updating them."));

    addGroup();
    addHeading(QStringLiteral("Information"));
    addToggleOption(
        QStringLiteral("Refresh when selected"), QStringLiteral("refreshSelectedCheckBox"), Settings::RefreshSelected);
    addCaption(
        QStringLiteral("If this option is enabled when a device is selected its information will be automatically "
                       "updated."));
}

void SettingsViewDevices::fetchLatestRouterOS()
{
    // Same request and reading of the answer as the toolbar's own lookup.
    OVToolbarView::lookupInto(
        QPointer<AppState>(&m_state), m_state.upgradeServer(), Settings::instance().releaseChannel());
}
