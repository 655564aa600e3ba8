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

OrvantaApp::~OrvantaApp()
{
    delete m_settingsWindow;
}

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

void OrvantaApp::showMainWindow()
{
    m_window->show();
}

void OrvantaApp::bringToFront()
{
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void OrvantaApp::openSettings()
{
    if (!m_settingsWindow || !m_settingsWindow->isVisible()) {
        // A closed window is dropped, not kept: the next one starts from scratch.
        if (m_settingsWindow)
            m_settingsWindow->deleteLater();
        auto* window = new SettingsView(m_state);
        window->setObjectName("settingsWindow");
        window->setWindowTitle(tr("Settings"));
        window->setAttribute(Qt::WA_DeleteOnClose);
        m_settingsWindow = window;
    }
    m_settingsWindow->show();
    m_settingsWindow->raise();
    m_settingsWindow->activateWindow();
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
