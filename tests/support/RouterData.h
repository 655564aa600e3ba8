#pragma once

#include <QList>
#include <QMap>
#include <QString>

// What a fake router knows about itself, served the same way over the RouterOS API (as "!re"
// rows) and over REST (as JSON), so that tests can compare the two control methods.
struct RouterData
{
    using Row = QMap<QString, QString>;

    QString username = QStringLiteral("admin");
    QString password = QStringLiteral("secret");

    // Rows per command path ("/system/resource", "/system/package", "/system/routerboard",
    // "/system/health"). Over REST, "/system/resource" and "/system/routerboard" are served as a
    // JSON object of their first row, the others as an array of objects.
    QMap<QString, QList<Row>> rows;

    // A typical router: RB5009 on arm64 with RouterOS 7.12 and four health readings.
    static RouterData typical()
    {
        RouterData data;
        data.rows[QStringLiteral("/system/resource")] = {{
            {"uptime", "1d2h3m"},
            {"version", "7.12 (stable)"},
            {"board-name", "RB5009UG+S+"},
            {"architecture-name", "arm64"},
            {"cpu-count", "4"},
            {"cpu-load", "12"},
            {"free-memory", "805306368"},
            {"total-memory", "1073741824"},
            {"free-hdd-space", "939524096"},
            {"total-hdd-space", "1073741824"},
        }};
        data.rows[QStringLiteral("/system/package")] = {
            {{".id", "*1"}, {"name", "routeros"}, {"version", "7.12"}},
            {{".id", "*2"}, {"name", "wifiwave2"}, {"version", "7.12"}},
        };
        data.rows[QStringLiteral("/system/routerboard")] = {{
            {"routerboard", "true"},
            {"model", "RB5009UG+S+"},
            {"current-firmware", "7.11"},
            {"upgrade-firmware", "7.12"},
        }};
        data.rows[QStringLiteral("/system/health")] = {
            {{".id", "*D"}, {"name", "voltage"}, {"type", "V"}, {"value", "24"}},
            {{".id", "*E"}, {"name", "cpu-temperature"}, {"type", "C"}, {"value", "45"}},
            {{".id", "*F"}, {"name", "fan1-speed"}, {"type", "RPM"}, {"value", "0"}},
            {{".id", "*10"}, {"name", "power-consumption"}, {"type", "W"}, {"value", "8"}},
        };
        return data;
    }
};
