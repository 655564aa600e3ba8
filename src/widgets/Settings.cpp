#include "Settings.h"

#include <QCoreApplication>

namespace {
const Settings::Key* findKey(const QString& key)
{
    for (const auto& entry : Settings::keys()) {
        if (key == QLatin1String(entry.key))
            return &entry;
    }
    return nullptr;
}

// QSettings hands booleans back as text from its INI files; bring every value to the table's type.
QVariant toTableType(const Settings::Key& entry, const QVariant& value)
{
    if (entry.type == QMetaType::Bool) {
        if (value.typeId() == QMetaType::QString) {
            const QString text = value.toString().trimmed().toLower();
            return QVariant(text == QLatin1String("true") || text == QLatin1String("1"));
        }
        return QVariant(value.toBool());
    }
    return QVariant(value.toString());
}
} // namespace

const QList<Settings::Key>& Settings::keys()
{
    static const QList<Key> table = {
        {ValidateOnAdd, QMetaType::Bool, QVariant(true)},
        {ValidateOnEdit, QMetaType::Bool, QVariant(false)},
        {RefreshSelected, QMetaType::Bool, QVariant(false)},
        {ReleaseChannel, QMetaType::QString, QVariant(QStringLiteral("Stable"))},
        {SidebarSize, QMetaType::QString, QVariant(QStringLiteral("Large"))},
        {HealthEnable, QMetaType::Bool, QVariant(true)},
        {OsMetricsEnable, QMetaType::Bool, QVariant(true)},
        {RestApiValidSSL, QMetaType::Bool, QVariant(false)},
        {RestApiTimeout, QMetaType::QString, QVariant(QStringLiteral("10"))},
    };
    return table;
}

Settings& Settings::instance()
{
    // Owned by the application object so that it goes before QCoreApplication does.
    static Settings* settings = [] {
        auto* s = new Settings();
        s->setParent(QCoreApplication::instance());
        return s;
    }();
    return *settings;
}

Settings::Settings()
    : m_store(QSettings::UserScope, QStringLiteral("Orvanta"), QStringLiteral("Orvanta"))
{ }

QVariant Settings::value(const QString& key) const
{
    const Key* entry = findKey(key);
    if (!entry)
        return {};
    const QVariant stored = m_store.value(key);
    if (!stored.isValid())
        return entry->defaultValue;
    return toTableType(*entry, stored);
}

void Settings::setValue(const QString& key, const QVariant& value)
{
    const Key* entry = findKey(key);
    if (!entry) {
        qWarning("Settings: unknown key %s", qPrintable(key));
        return;
    }
    const QVariant typed = toTableType(*entry, value);
    if (this->value(key) == typed)
        return;
    m_store.setValue(key, typed);
    m_store.sync();
    emit changed(key);
}

bool Settings::isStored(const QString& key) const
{
    return m_store.contains(key);
}

bool Settings::validateOnAdd() const
{
    return value(QLatin1String(ValidateOnAdd)).toBool();
}

bool Settings::validateOnEdit() const
{
    return value(QLatin1String(ValidateOnEdit)).toBool();
}

bool Settings::refreshSelected() const
{
    return value(QLatin1String(RefreshSelected)).toBool();
}

QString Settings::releaseChannel() const
{
    return value(QLatin1String(ReleaseChannel)).toString();
}

QString Settings::sidebarSize() const
{
    return value(QLatin1String(SidebarSize)).toString();
}

bool Settings::displayDeviceHealth() const
{
    return value(QLatin1String(HealthEnable)).toBool();
}

bool Settings::displayDeviceOsMetrics() const
{
    return value(QLatin1String(OsMetricsEnable)).toBool();
}

bool Settings::restApiValidSSL() const
{
    return value(QLatin1String(RestApiValidSSL)).toBool();
}

QString Settings::restApiTimeout() const
{
    return value(QLatin1String(RestApiTimeout)).toString();
}

void Settings::setValidateOnAdd(bool value)
{
    setValue(QLatin1String(ValidateOnAdd), value);
}

void Settings::setValidateOnEdit(bool value)
{
    setValue(QLatin1String(ValidateOnEdit), value);
}

void Settings::setRefreshSelected(bool value)
{
    setValue(QLatin1String(RefreshSelected), value);
}

void Settings::setReleaseChannel(const QString& value)
{
    setValue(QLatin1String(ReleaseChannel), value);
}

void Settings::setSidebarSize(const QString& value)
{
    setValue(QLatin1String(SidebarSize), value);
}

void Settings::setDisplayDeviceHealth(bool value)
{
    setValue(QLatin1String(HealthEnable), value);
}

void Settings::setDisplayDeviceOsMetrics(bool value)
{
    setValue(QLatin1String(OsMetricsEnable), value);
}

void Settings::setRestApiValidSSL(bool value)
{
    setValue(QLatin1String(RestApiValidSSL), value);
}

void Settings::setRestApiTimeout(const QString& value)
{
    setValue(QLatin1String(RestApiTimeout), value);
}
