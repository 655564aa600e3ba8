#include "DeviceListModel.h"

#include "Device.h"
#include "PersistenceController.h"

#include <algorithm>

bool DeviceListModel::less(const Device* a, const Device* b) const
{
    // Plain text order of the addresses (QString compares UTF-16 code units, case-sensitively);
    // a device without an address sorts first. Twins keep the order they reached the store in.
    const Device::Text left = a->address();
    const Device::Text right = b->address();
    if (left != right) {
        if (!right)
            return false;
        if (!left)
            return true;
        return *left < *right;
    }
    return m_arrival.value(a) < m_arrival.value(b);
}

DeviceListModel::DeviceListModel(PersistenceController& store, QObject* parent)
    : QAbstractListModel(parent)
    , m_store(store)
{
    QList<Device*> devices = m_store.devices();
    for (const Device* device : std::as_const(devices))
        m_arrival.insert(device, m_nextArrival++);
    std::sort(devices.begin(), devices.end(), [this](const Device* a, const Device* b) { return less(a, b); });
    for (Device* device : std::as_const(devices))
        m_rows.append(device);

    connect(&m_store, &PersistenceController::deviceInserted, this, &DeviceListModel::onInserted);
    connect(&m_store, &PersistenceController::deviceRemoved, this, &DeviceListModel::onRemoved);
    connect(&m_store, &PersistenceController::deviceChanged, this, &DeviceListModel::onChanged);
}

int DeviceListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant DeviceListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    Device* device = m_rows.at(index.row());
    if (!device)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return device->address().value_or(QString());
    // What the list's row shows, for screen readers as for the row's own drawing.
    case Qt::AccessibleTextRole:
        return device->address().value_or(QStringLiteral("Unknown Address"));
    case Qt::AccessibleDescriptionRole:
        return device->model().value_or(QStringLiteral("Unknown Model"));
    case DeviceRole:
        return QVariant::fromValue(device);
    default:
        return {};
    }
}

Device* DeviceListModel::deviceAt(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return nullptr;
    return m_rows.at(row);
}

int DeviceListModel::rowOf(const Device* device) const
{
    for (int row = 0; row < m_rows.size(); ++row) {
        if (m_rows.at(row) == device)
            return row;
    }
    return -1;
}

int DeviceListModel::insertionRow(const Device* device, int skipRow) const
{
    int row = 0;
    for (int i = 0; i < m_rows.size(); ++i) {
        if (i == skipRow)
            continue;
        const Device* other = m_rows.at(i);
        if (other && less(device, other))
            break;
        ++row;
    }
    return row;
}

void DeviceListModel::onInserted(Device* device)
{
    m_arrival.insert(device, m_nextArrival++);
    const int row = insertionRow(device, -1);
    beginInsertRows({}, row, row);
    m_rows.insert(row, device);
    endInsertRows();
}

void DeviceListModel::onRemoved(Device* device)
{
    const int row = rowOf(device);
    if (row < 0)
        return;
    beginRemoveRows({}, row, row);
    m_rows.removeAt(row);
    endRemoveRows();
    m_arrival.remove(device);
}

void DeviceListModel::onChanged(Device* device)
{
    const int row = rowOf(device);
    if (row < 0)
        return;
    const int target = insertionRow(device, row);
    if (target != row) {
        beginMoveRows({}, row, row, {}, target > row ? target + 1 : target);
        m_rows.move(row, target);
        endMoveRows();
    }
    const QModelIndex changed = index(target);
    emit dataChanged(changed, changed);
}
