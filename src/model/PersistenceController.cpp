#include "PersistenceController.h"

#include "Device.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

#include <array>

namespace {
constexpr int schemaVersion = 1;

using TextGetter = Device::Text (Device::*)() const;
using TextSetter = void (Device::*)(const Device::Text&);
using FlagGetter = bool (Device::*)() const;
using FlagSetter = void (Device::*)(bool);

struct TextColumn
{
    const char* name;
    TextGetter get;
    TextSetter set;
};

struct FlagColumn
{
    const char* name;
    FlagGetter get;
    FlagSetter set;
};

// One column per attribute, named after it.
const std::array<TextColumn, 19> textColumns {{
    {"address", &Device::address, &Device::setAddress},
    {"arch", &Device::arch, &Device::setArch},
    {"controlMethod", &Device::controlMethod, &Device::setControlMethod},
    {"cpuCount", &Device::cpuCount, &Device::setCpuCount},
    {"cpuLoad", &Device::cpuLoad, &Device::setCpuLoad},
    {"currentRouterBOOT", &Device::currentRouterBOOT, &Device::setCurrentRouterBOOT},
    {"diskFree", &Device::diskFree, &Device::setDiskFree},
    {"diskTotal", &Device::diskTotal, &Device::setDiskTotal},
    {"error", &Device::error, &Device::setError},
    {"health", &Device::health, &Device::setHealth},
    {"memoryFree", &Device::memoryFree, &Device::setMemoryFree},
    {"memoryTotal", &Device::memoryTotal, &Device::setMemoryTotal},
    {"model", &Device::model, &Device::setModel},
    {"password", &Device::password, &Device::setPassword},
    {"port", &Device::port, &Device::setPort},
    {"sshport", &Device::sshport, &Device::setSshport},
    {"upgradeRouterBOOT", &Device::upgradeRouterBOOT, &Device::setUpgradeRouterBOOT},
    {"username", &Device::username, &Device::setUsername},
    {"versionRouterOS", &Device::versionRouterOS, &Device::setVersionRouterOS},
}};

const std::array<FlagColumn, 6> flagColumns {{
    {"rebooting", &Device::rebooting, &Device::setRebooting},
    {"refreshing", &Device::refreshing, &Device::setRefreshing},
    {"shuttingdown", &Device::shuttingdown, &Device::setShuttingdown},
    {"ssl", &Device::ssl, &Device::setSsl},
    {"upgradingRouterBOOT", &Device::upgradingRouterBOOT, &Device::setUpgradingRouterBOOT},
    {"upgradingRouterOS", &Device::upgradingRouterOS, &Device::setUpgradingRouterOS},
}};

constexpr const char* dateColumn = "lastupdated";

QStringList attributeColumns()
{
    QStringList names;
    for (const TextColumn& column : textColumns)
        names << QLatin1String(column.name);
    for (const FlagColumn& column : flagColumns)
        names << QLatin1String(column.name);
    names << QLatin1String(dateColumn);
    return names;
}

QString createTableStatement()
{
    QStringList columns {QStringLiteral("id INTEGER PRIMARY KEY AUTOINCREMENT")};
    for (const TextColumn& column : textColumns)
        columns << QStringLiteral("%1 TEXT").arg(QLatin1String(column.name));
    for (const FlagColumn& column : flagColumns)
        columns << QStringLiteral("%1 INTEGER NOT NULL DEFAULT 0 CHECK (%1 IN (0, 1))").arg(QLatin1String(column.name));
    columns << QStringLiteral("%1 TEXT").arg(QLatin1String(dateColumn));
    return QStringLiteral("CREATE TABLE IF NOT EXISTS Device (%1)").arg(columns.join(QStringLiteral(", ")));
}

// Dates are kept as UTC ISO text with milliseconds, so they read back as the same instant.
QVariant dateToColumn(const std::optional<QDateTime>& date)
{
    if (!date)
        return QVariant(QMetaType(QMetaType::QString));
    return date->toUTC().toString(Qt::ISODateWithMs);
}

std::optional<QDateTime> dateFromColumn(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    QDateTime date = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

QVariant textToColumn(const Device::Text& text)
{
    if (!text)
        return QVariant(QMetaType(QMetaType::QString));
    // A non-null empty QString would be bound as NULL by some drivers; keep absent and empty apart.
    return text->isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(*text);
}

Device::Text textFromColumn(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    QString text = value.toString();
    if (text.isNull())
        text = QLatin1String("");
    return text;
}

QString errorDetails(const QSqlError& error)
{
    return QStringLiteral("{type: %1, nativeErrorCode: %2, driverText: %3, databaseText: %4}")
        .arg(int(error.type()))
        .arg(error.nativeErrorCode(), error.driverText(), error.databaseText());
}

[[noreturn]] void stop(const QString& prefix, const QString& description, const QString& details)
{
    qFatal("%s", qPrintable(prefix + description + QStringLiteral(", ") + details));
    std::abort();
}

constexpr QFileDevice::Permissions ownerOnlyFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions ownerOnlyFolder = ownerOnlyFile | QFileDevice::ExeOwner;

// Takes away whatever group and others may do with `path` (a folder when `ownerOnly` lets its owner
// enter it, else a file); an older start may have left it open.
void keepPrivate(const QString& path, QFileDevice::Permissions ownerOnly)
{
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
        | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    const QFileDevice::Permissions owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    const QFileInfo info(path);
    const bool wantFolder = ownerOnly.testFlag(QFileDevice::ExeOwner);
    // Only taken away: what the user allowed himself (or denied, such as writing) stays.
    if (info.exists() && info.isDir() == wantFolder && (info.permissions() & others))
        QFile::setPermissions(path, info.permissions() & owner);
}

QString uniqueConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("orvanta-store-%1").arg(counter.fetchAndAddRelaxed(1));
}
} // namespace

PersistenceController& PersistenceController::shared()
{
    // Built on first use and kept until the process ends; nothing ever closes it early.
    static PersistenceController* instance = [] {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QDir().mkpath(folder);
        // The folder is the application's own: only its user may look into it, as SSH keeps its keys.
        keepPrivate(folder, ownerOnlyFolder);
        return new PersistenceController(QDir(folder).filePath(QStringLiteral("Orvanta.sqlite")));
    }();
    return *instance;
}

PersistenceController::PersistenceController(const QString& databasePath, QObject* parent)
    : QObject(parent)
    , m_path(databasePath)
    , m_connectionName(uniqueConnectionName())
{
    // The file holds every router's address, account and enciphered password: it is made, and
    // kept, readable by its user alone (SQLite gives its journal the same mode).
    if (!QFileInfo::exists(m_path)) {
        QFile created(m_path);
        if (created.open(QIODevice::NewOnly | QIODevice::WriteOnly, ownerOnlyFile))
            created.close();
    }
    keepPrivate(m_path, ownerOnlyFile);

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(m_path);
    if (!db.open())
        stop(QStringLiteral("Unresolved error "), db.lastError().text(), errorDetails(db.lastError()));

    QSqlQuery query(db);
    const auto run = [&query](const QString& statement) {
        if (!query.exec(statement))
            stop(QStringLiteral("Unresolved error "), query.lastError().text(), errorDetails(query.lastError()));
    };

    run(QStringLiteral("PRAGMA user_version"));
    const int version = query.next() ? query.value(0).toInt() : 0;
    if (version > schemaVersion) {
        stop(QStringLiteral("Unresolved error "), QStringLiteral("The store was written by a newer version of Orvanta"),
            QStringLiteral("{path: %1, schema: %2, supported: %3}").arg(m_path).arg(version).arg(schemaVersion));
    }
    if (version < schemaVersion) {
        run(QStringLiteral("BEGIN IMMEDIATE"));
        run(createTableStatement());
        run(QStringLiteral("PRAGMA user_version = %1").arg(schemaVersion));
        run(QStringLiteral("COMMIT"));
    }

    // A store that opens but cannot be written would only fail at the first add, edit or refresh
    // and lose what the user did: find out now. Rewriting a header field makes SQLite take the
    // write lock and create its journal, which is what every save needs.
    run(QStringLiteral("BEGIN IMMEDIATE"));
    run(QStringLiteral("PRAGMA user_version = %1").arg(schemaVersion));
    run(QStringLiteral("ROLLBACK"));

    query.setForwardOnly(true);
    run(QStringLiteral("SELECT id, %1 FROM Device ORDER BY id").arg(attributeColumns().join(QStringLiteral(", "))));
    while (query.next()) {
        auto* device = new Device(this);
        device->m_rowId = query.value(0).toLongLong();
        // Loading is not a change: nobody hears of it and the dirty marks are dropped below.
        const QSignalBlocker quiet(device);
        int column = 1;
        for (const TextColumn& text : textColumns) {
            (device->*text.set)(query.isNull(column) ? Device::Text() : textFromColumn(query.value(column)));
            ++column;
        }
        for (const FlagColumn& flag : flagColumns)
            (device->*flag.set)(query.value(column++).toInt() != 0);
        device->setLastupdated(query.isNull(column) ? std::nullopt : dateFromColumn(query.value(column)));
        device->m_dirty = false;
        m_devices.append(device);
    }
    m_dirtyDevices.clear();
    connectDevices();
}

PersistenceController::~PersistenceController()
{
    qDeleteAll(m_devices);
    qDeleteAll(m_deleted);
    m_devices.clear();
    m_deleted.clear();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

void PersistenceController::connectDevices()
{
    for (Device* device : std::as_const(m_devices))
        connect(device, &Device::changed, this, [this, device] { emit deviceChanged(device); });
}

QList<Device*> PersistenceController::devices() const
{
    return m_devices;
}

QList<Device*> PersistenceController::devicesWithAddress(const QString& address) const
{
    QList<Device*> found;
    for (Device* device : m_devices) {
        if (device->address() == address)
            found.append(device);
    }
    return found;
}

Device* PersistenceController::insertDevice()
{
    auto* device = new Device(this);
    device->m_dirty = true;
    m_devices.append(device);
    m_dirtyDevices.insert(device);
    connect(device, &Device::changed, this, [this, device] { emit deviceChanged(device); });
    emit deviceInserted(device);
    return device;
}

void PersistenceController::deleteDevice(Device* device)
{
    if (!device || device->m_controller != this || device->m_deleted)
        return;
    m_devices.removeOne(device);
    m_dirtyDevices.remove(device);
    device->m_deleted = true;
    m_deleted.append(device);
    emit deviceRemoved(device);
}

void PersistenceController::markDirty(Device* device)
{
    if (!device->m_deleted)
        m_dirtyDevices.insert(device);
}

bool PersistenceController::hasChanges() const
{
    return !m_dirtyDevices.isEmpty() || !m_deleted.isEmpty();
}

bool PersistenceController::save(QString* errorText)
{
    const std::optional<QSqlError> failure = write();
    if (failure) {
        if (errorText)
            *errorText = failure->text();
        return false;
    }
    return true;
}

void PersistenceController::saveOrDie(const QString& fatalPrefix)
{
    const std::optional<QSqlError> failure = write();
    if (failure)
        stop(fatalPrefix, failure->text(), errorDetails(*failure));
}

std::optional<QSqlError> PersistenceController::write()
{
    if (!hasChanges())
        return std::nullopt;

    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.transaction())
        return db.lastError();

    // Row ids of new rows are only taken over once the transaction has committed.
    QList<std::pair<Device*, qint64>> inserted;
    const auto fail = [&db](const QSqlError& error) {
        db.rollback();
        return std::optional<QSqlError>(error);
    };

    QSqlQuery query(db);
    if (!m_deleted.isEmpty()) {
        if (!query.prepare(QStringLiteral("DELETE FROM Device WHERE id = ?")))
            return fail(query.lastError());
        for (Device* device : std::as_const(m_deleted)) {
            if (device->m_rowId == 0)
                continue;
            query.bindValue(0, device->m_rowId);
            if (!query.exec())
                return fail(query.lastError());
        }
    }

    const QStringList columns = attributeColumns();
    QStringList assignments;
    for (const QString& column : columns)
        assignments << column + QStringLiteral(" = ?");
    const QString insertStatement
        = QStringLiteral("INSERT INTO Device (%1) VALUES (%2)")
              .arg(columns.join(QStringLiteral(", ")),
                  QStringList(columns.size(), QStringLiteral("?")).join(QStringLiteral(", ")));
    const QString updateStatement
        = QStringLiteral("UPDATE Device SET %1 WHERE id = ?").arg(assignments.join(QStringLiteral(", ")));

    QSqlQuery insertQuery(db);
    QSqlQuery updateQuery(db);
    bool insertPrepared = false;
    bool updatePrepared = false;

    // Store order is insertion order: write the dirty devices in the order the context holds them.
    for (Device* device : std::as_const(m_devices)) {
        if (!m_dirtyDevices.contains(device))
            continue;
        const bool isNew = device->m_rowId == 0;
        QSqlQuery& statement = isNew ? insertQuery : updateQuery;
        bool& prepared = isNew ? insertPrepared : updatePrepared;
        if (!prepared) {
            if (!statement.prepare(isNew ? insertStatement : updateStatement))
                return fail(statement.lastError());
            prepared = true;
        }
        int position = 0;
        for (const TextColumn& text : textColumns)
            statement.bindValue(position++, textToColumn((device->*text.get)()));
        for (const FlagColumn& flag : flagColumns)
            statement.bindValue(position++, (device->*flag.get)() ? 1 : 0);
        statement.bindValue(position++, dateToColumn(device->lastupdated()));
        if (!isNew)
            statement.bindValue(position, device->m_rowId);
        if (!statement.exec())
            return fail(statement.lastError());
        if (isNew)
            inserted.append({device, statement.lastInsertId().toLongLong()});
        else if (statement.numRowsAffected() != 1)
            return fail(QSqlError(QStringLiteral("The stored device is missing"),
                QStringLiteral("No row with id %1").arg(device->m_rowId), QSqlError::TransactionError));
    }

    if (!db.commit())
        return fail(db.lastError());

    for (const auto& [device, rowId] : inserted)
        device->m_rowId = rowId;
    for (Device* device : std::as_const(m_dirtyDevices))
        device->m_dirty = false;
    m_dirtyDevices.clear();

    // Deleted objects go once their rows are gone; holders of a QPointer see null from here on.
    const QList<Device*> gone = std::exchange(m_deleted, {});
    for (Device* device : gone) {
        device->m_controller = nullptr;
        device->m_rowId = 0;
        device->deleteLater();
    }
    return std::nullopt;
}
