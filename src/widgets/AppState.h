#pragma once

#include <QObject>
#include <QString>

// The application's window-wide state, shared by the views as two-way bindings: whether the
// main window shows the add-device form or the settings view, and the latest RouterOS release
// of the chosen channel ("Unknown" until a lookup succeeded). Main thread only.
class AppState : public QObject
{
    Q_OBJECT
public:
    explicit AppState(QObject* parent = nullptr)
        : QObject(parent)
    { }

    // The vendor's servers: the upgrade server (latest release per channel) and the download
    // server (RouterOS packages). Tests point them at loopback.
    QString upgradeServer() const { return m_upgradeServer; }
    QString downloadServer() const { return m_downloadServer; }
    void setUpgradeServer(const QString& url) { m_upgradeServer = url; }
    void setDownloadServer(const QString& url) { m_downloadServer = url; }

    bool showAddDevice() const { return m_showAddDevice; }
    bool showSettings() const { return m_showSettings; }
    QString currentRouterOS() const { return m_currentRouterOS; }

    void setShowAddDevice(bool value)
    {
        if (m_showAddDevice == value)
            return;
        m_showAddDevice = value;
        emit showAddDeviceChanged(value);
    }
    void setShowSettings(bool value)
    {
        if (m_showSettings == value)
            return;
        m_showSettings = value;
        emit showSettingsChanged(value);
    }
    void setCurrentRouterOS(const QString& value)
    {
        if (m_currentRouterOS == value)
            return;
        m_currentRouterOS = value;
        emit currentRouterOSChanged(value);
    }

signals:
    void showAddDeviceChanged(bool value);
    void showSettingsChanged(bool value);
    void currentRouterOSChanged(const QString& value);

private:
    bool m_showAddDevice = false;
    bool m_showSettings = false;
    QString m_currentRouterOS = QStringLiteral("Unknown");
    QString m_upgradeServer = QStringLiteral("https://upgrade.mikrotik.com");
    QString m_downloadServer = QStringLiteral("https://download.mikrotik.com");
};
