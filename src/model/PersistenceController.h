#pragma once

#include <QList>
#include <QObject>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

#include <optional>

class Device;

// The object store: one SQLite file with one table "Device", loaded whole into Device objects
// owned by this controller (the "main context"). Main thread only.
class PersistenceController : public QObject
{
    Q_OBJECT
public:
    // Opens "Orvanta.sqlite" in the application data folder on first use. A store that cannot be
    // loaded stops the application with "Unresolved error " + description + ", " + details.
    static PersistenceController& shared();

    // Opens (creating when missing) the store at `databasePath`; stops the application on failure.
    explicit PersistenceController(const QString& databasePath, QObject* parent = nullptr);
    ~PersistenceController() override;

    QString databasePath() const { return m_path; }

    // The fetch request without predicate or sort order: every device not deleted, in store order.
    QList<Device*> devices() const;
    // The fetch with "address = %@": exact, case-sensitive text equality.
    QList<Device*> devicesWithAddress(const QString& address) const;

    // A new device in this context; every text absent, every flag false. Stored by the next save.
    Device* insertDevice();
    // Removes the device from the context at once (it no longer appears in fetches); the row goes
    // with the next save, after which the object is destroyed (hold Device pointers in QPointer).
    void deleteDevice(Device* device);

    bool hasChanges() const;
    // Writes every insert, change and delete in one transaction. On failure nothing is written,
    // `errorText` gets the description and the result is false.
    bool save(QString* errorText = nullptr);
    // save(), stopping the application with `fatalPrefix` + description + ", " + details on failure.
    void saveOrDie(const QString& fatalPrefix = QStringLiteral("Unresolved error "));

signals:
    void deviceInserted(Device* device);
    void deviceRemoved(Device* device);
    // Any attribute of a device changed (relayed from Device::changed).
    void deviceChanged(Device* device);

private:
    friend class Device;
    void markDirty(Device* device);
    void connectDevices();
    // The transaction behind save(): the error when it failed and was rolled back.
    std::optional<QSqlError> write();

    QString m_path;
    QString m_connectionName;
    QList<Device*> m_devices;
    QList<Device*> m_deleted;
    QSet<Device*> m_dirtyDevices;
};
