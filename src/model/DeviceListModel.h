#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QPointer>

class Device;
class PersistenceController;

// Every stored device, sorted by address as plain text (code-unit order, case-sensitive; an
// absent address first). Follows inserts, deletes and address changes of the store.
class DeviceListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Roles { DeviceRole = Qt::UserRole + 1 };

    explicit DeviceListModel(PersistenceController& store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    Device* deviceAt(int row) const;
    int rowOf(const Device* device) const;

private:
    void onInserted(Device* device);
    void onRemoved(Device* device);
    void onChanged(Device* device);
    // Where `device` belongs among the rows, leaving out `skipRow` (its own row, or -1).
    int insertionRow(const Device* device, int skipRow) const;
    bool less(const Device* a, const Device* b) const;

    PersistenceController& m_store;
    QList<QPointer<Device>> m_rows;
    QHash<const Device*, quint64> m_arrival;
    quint64 m_nextArrival = 0;
};
