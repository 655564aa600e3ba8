#pragma once

#include <QList>
#include <QString>

// One health reading of a router; identified by `id`.
struct HealthItem
{
    QString id;
    QString name;
    QString type; // the unit: "A", "V", "W", "C", "RPM" or another text
    QString value;

    bool operator==(const HealthItem&) const = default;
};
