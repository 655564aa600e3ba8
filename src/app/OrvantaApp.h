#pragma once

#include "widgets/AppState.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>

class PersistenceController;
class QMainWindow;

// The application: its window-wide state, the start-up repair of the stored devices, the main
// window whose content follows the state, and the settings window.
class OrvantaApp : public QObject
{
    Q_OBJECT
public:
    // Runs the start-up (repair every device, save, make the package cache folder) and builds the
    // main window (not shown yet).
    // The vendor servers are the real ones unless tests point them elsewhere.
    explicit OrvantaApp(PersistenceController& store,
        const QString& upgradeServer = QStringLiteral("https://upgrade.mikrotik.com"),
        const QString& downloadServer = QStringLiteral("https://download.mikrotik.com"), QObject* parent = nullptr);
    ~OrvantaApp() override;

    // Clears every device's message and busy flags, moves REST devices to SSL, saves (stopping
    // the application on failure) and creates the package cache folder when it is missing.
    static void startUp(PersistenceController& store);

    AppState& state() { return m_state; }
    PersistenceController& store() { return m_store; }
    QMainWindow* mainWindow() const { return m_window.get(); }
    // The settings window while it is open, else null.
    QWidget* settingsWindow() const { return m_settingsWindow; }
    void showMainWindow();
    // Shows the main window in front of the others (a later start of the application asks so).
    void bringToFront();
    // Brings an open settings window to the front; otherwise opens a new one, on its first tab
    // and with every pane in its initial state.
    void openSettings();

private:
    void updateRootContent();

    PersistenceController& m_store;
    AppState m_state;
    std::unique_ptr<QMainWindow> m_window;
    QPointer<QWidget> m_settingsWindow;
};
