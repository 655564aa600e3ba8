#include "OrvantaApp.h"

#include "ContentView.h"
#include "SettingsView.h"
#include "maintenance/OVCache.h"
#include "model/Device.h"
#include "model/PersistenceController.h"
#include "views/AddDeviceView.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenuBar>

#include <cstdio>

OrvantaApp::OrvantaApp(
    PersistenceController& store, const QString& upgradeServer, const QString& downloadServer, QObject* parent)
    : QObject(parent)
    , m_store(store)
{
    m_state.setUpgradeServer(upgradeServer);
    m_state.setDownloadServer(downloadServer);
    startUp(m_store);

    m_window = std::make_unique<QMainWindow>();
    m_window->setObjectName("mainWindow");
    m_window->setWindowTitle("Orvanta");
    m_window->resize(1100, 700);

    // The platform's standard settings command of the application menu.
    auto* appMenu = m_window->menuBar()->addMenu(tr("&Orvanta"));
    auto* settingsAction = appMenu->addAction(tr("Settings..."));
    settingsAction->setObjectName("settingsAction");
    settingsAction->setMenuRole(QAction::PreferencesRole);
    settingsAction->setShortcut(QKeySequence::Preferences);
    connect(settingsAction, &QAction::triggered, this, &OrvantaApp::openSettings);
    appMenu->addSeparator();
    auto* quitAction = appMenu->addAction(tr("Quit Orvanta"));
    quitAction->setMenuRole(QAction::QuitRole);
    quitAction->setShortcut(QKeySequence::Quit);
    connect(quitAction, &QAction::triggered, qApp, &QApplication::quit);

    connect(&m_state, &AppState::showAddDeviceChanged, this, &OrvantaApp::updateRootContent);
    connect(&m_state, &AppState::showSettingsChanged, this, &OrvantaApp::updateRootContent);
    updateRootContent();
}

OrvantaApp::~OrvantaApp() = default;

void OrvantaApp::startUp(PersistenceController& store)
{
    for (Device* device : store.devices()) {
        device->setError(QString());
        device->setRebooting(false);
        device->setRefreshing(false);
        device->setShuttingdown(false);
        device->setUpgradingRouterBOOT(false);
        device->setUpgradingRouterOS(false);
        if (device->controlMethod() == QStringLiteral("REST") && !device->ssl()) {
            const QString line = "OrvantaApp.init: REST is enabled but SSL is false for "
                + device->address().value_or(QString()) + " - performing migration.";
            std::printf("%s\n", qPrintable(line));
            std::fflush(stdout);
            device->setSsl(true);
        }
    }
    store.saveOrDie();

    if (const auto cacheRoot = OVCache::cacheDirectory())
        OVCache::createDirectory(*cacheRoot);
}

QWidget* OrvantaApp::settingsWindow()
{
    if (!m_settingsWindow) {
        m_settingsWindow = std::make_unique<SettingsView>(m_state);
        m_settingsWindow->setObjectName("settingsWindow");
        m_settingsWindow->setWindowTitle(tr("Settings"));
    }
    return m_settingsWindow.get();
}

void OrvantaApp::showMainWindow()
{
    m_window->show();
}

void OrvantaApp::openSettings()
{
    QWidget* window = settingsWindow();
    window->show();
    window->raise();
    window->activateWindow();
}

void OrvantaApp::updateRootContent()
{
    // The content is made anew on every switch: the main view starts again with no selection.
    QWidget* content = nullptr;
    if (m_state.showSettings())
        content = new SettingsView(m_state);
    else if (m_state.showAddDevice())
        content = new AddDeviceView(m_state);
    else
        content = new ContentView(m_state, m_store);
    m_window->setCentralWidget(content);
}
