#pragma once

#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariant>

// The nine settings keys in one place, kept in the user's QSettings for "Orvanta". Reading never
// writes a default; a setter writes and emits changed(key) only when the value really changes.
// Every open view listens to changed() and redraws what the key moves. Main thread only.
class Settings : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* ValidateOnAdd = "devices.validateonadd";
    static constexpr const char* ValidateOnEdit = "devices.validateonedit";
    static constexpr const char* RefreshSelected = "devices.refreshselected";
    static constexpr const char* ReleaseChannel = "devices.releasechannel";
    static constexpr const char* SidebarSize = "sidebar.size";
    static constexpr const char* HealthEnable = "health.enable";
    static constexpr const char* OsMetricsEnable = "osmetrics.enable";
    static constexpr const char* RestApiValidSSL = "restapi.validssl";
    static constexpr const char* RestApiTimeout = "restapi.timeout";

    struct Key
    {
        const char* key;
        QMetaType::Type type; // QMetaType::Bool or QMetaType::QString
        QVariant defaultValue;
    };
    // The table: every key with its type and default.
    static const QList<Key>& keys();

    static Settings& instance();

    bool validateOnAdd() const;
    bool validateOnEdit() const;
    bool refreshSelected() const;
    QString releaseChannel() const;
    QString sidebarSize() const;
    bool displayDeviceHealth() const;
    bool displayDeviceOsMetrics() const;
    bool restApiValidSSL() const;
    QString restApiTimeout() const;

    void setValidateOnAdd(bool value);
    void setValidateOnEdit(bool value);
    void setRefreshSelected(bool value);
    void setReleaseChannel(const QString& value);
    void setSidebarSize(const QString& value);
    void setDisplayDeviceHealth(bool value);
    void setDisplayDeviceOsMetrics(bool value);
    void setRestApiValidSSL(bool value);
    void setRestApiTimeout(const QString& value);

    // Generic access by key (the table's default when nothing is stored).
    QVariant value(const QString& key) const;
    void setValue(const QString& key, const QVariant& value);
    bool isStored(const QString& key) const;
    // Where the values live (the user's QSettings file for "Orvanta").
    QString storeFileName() const { return m_store.fileName(); }

signals:
    void changed(const QString& key);

private:
    Settings();
    mutable QSettings m_store;
};
