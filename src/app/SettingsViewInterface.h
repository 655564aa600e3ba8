#pragma once

#include "SettingsPane.h"

// The "Interface" settings tab: the row size of the device list and whether the device detail
// shows its health panel and its resource charts.
class SettingsViewInterface : public SettingsPane
{
    Q_OBJECT
public:
    explicit SettingsViewInterface(QWidget* parent = nullptr);
};
