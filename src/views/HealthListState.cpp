#include "HealthListState.h"

HealthListState::HealthListState(QObject* parent)
    : QObject(parent)
{ }

void HealthListState::setItems(const QList<HealthItem>& items)
{
    if (m_items == items)
        return;
    m_items = items;
    emit changed();
}
