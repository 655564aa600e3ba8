#pragma once

#include "SettingsPane.h"

class AppState;
class QComboBox;

// The "Devices" settings tab: the release channel and the three device behaviours. Choosing
// another channel looks the latest release of that channel up at once (showing the pane does not).
class SettingsViewDevices : public SettingsPane
{
    Q_OBJECT
public:
    explicit SettingsViewDevices(AppState& state, QWidget* parent = nullptr);

    // Looks the latest release of the stored channel up and writes it into the shared
    // currentRouterOS when the answer arrives.
    void fetchLatestRouterOS();

private:
    AppState& m_state;
};
