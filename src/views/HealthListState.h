#pragma once

#include "model/HealthItem.h"

#include <QList>
#include <QObject>

// The health readings of the selected device, shared by the main view (which owns it), the
// operating-system panel (whose refresh replaces them) and the health panel (which shows them).
// Main thread only.
class HealthListState : public QObject
{
    Q_OBJECT
public:
    explicit HealthListState(QObject* parent = nullptr);

    QList<HealthItem> items() const { return m_items; }
    // Emits changed() only when the list really differs.
    void setItems(const QList<HealthItem>& items);

signals:
    void changed();

private:
    QList<HealthItem> m_items;
};
