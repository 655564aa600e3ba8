#pragma once

#include <QWidget>

class AppState;
class QTabWidget;

// The settings window: a fixed 300 x 350 tab view with the Cache, Devices, Interface and Network
// panes. Every change is stored at once; there is nothing to confirm. Can be shown on its own as
// a window or placed inside another one.
class SettingsView : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsView(AppState& state, QWidget* parent = nullptr);

    QTabWidget* tabs() const { return m_tabs; }

private:
    QTabWidget* m_tabs = nullptr;
};
