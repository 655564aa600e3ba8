#include "DeviceViewInfoHealth.h"

#include "RefreshToggle.h"
#include "model/Device.h"
#include "widgets/Icons.h"
#include "widgets/SystemColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <exception>

namespace {
constexpr qint64 notNumeric = -9999;
constexpr int iconSize = 12;

bool isElectrical(const QString& type)
{
    return type == QLatin1String("A") || type == QLatin1String("V") || type == QLatin1String("W");
}
} // namespace

DeviceViewInfoHealth::DeviceViewInfoHealth(Device* device, QWidget* parent)
    : QWidget(parent)
    , m_device(device)
{
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 5, 0, 0);
    m_rows = new QVBoxLayout;
    m_rows->setContentsMargins(0, 0, 0, 0);
    outer->addLayout(m_rows);
    outer->addStretch(1);

    rebuild({});
    if (m_device)
        connect(m_device, &Device::changed, this, &DeviceViewInfoHealth::reload);
    reload();
}

void DeviceViewInfoHealth::reload()
{
    if (!m_device)
        return;
    const std::optional<QString> health = m_device->health();
    if (m_shownHealth == health)
        return;
    m_shownHealth = health;
    try {
        rebuild(m_device->healthArray());
    } catch (const std::exception& error) {
        RefreshToggle::printLine(error.what());
    }
}

void DeviceViewInfoHealth::rebuild(const QList<HealthItem>& items)
{
    while (QLayoutItem* old = m_rows->takeAt(0)) {
        delete old->widget();
        delete old;
    }
    if (items.isEmpty()) {
        auto* empty = new QLabel(QStringLiteral("This device does not support health data"), this);
        empty->setObjectName(QStringLiteral("noHealthLabel"));
        m_rows->addWidget(empty);
        empty->show();
        return;
    }
    // Shown at once, not on the layout's next turn, so that nothing reads half a panel.
    for (const HealthItem& item : items) {
        QWidget* row = healthRow(item);
        m_rows->addWidget(row, 0, Qt::AlignLeft);
        row->show();
    }
}

QWidget* DeviceViewInfoHealth::healthRow(const HealthItem& item)
{
    auto* row = new QWidget(this);
    row->setObjectName(QStringLiteral("healthRowWidget"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);

    const QString symbol = healthIcon(item.type, item.value);
    const QColor color = healthColor(item.type, item.value);
    auto* icon = new QLabel(row);
    icon->setObjectName(QStringLiteral("healthIconLabel"));
    icon->setPixmap(Icons::pixmap(symbol, color, iconSize));
    icon->setFixedWidth(iconSize);
    icon->setAlignment(Qt::AlignCenter);
    icon->setProperty("symbolName", symbol);
    icon->setProperty("symbolColor", color);
    layout->addWidget(icon, 0, Qt::AlignVCenter);

    auto* text = new QLabel(
        formatHealthName(item.name) + QStringLiteral(": ") + item.value + QLatin1Char(' ') + item.type, row);
    text->setObjectName(QStringLiteral("healthTextLabel"));
    layout->addWidget(text, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    return row;
}

qint64 DeviceViewInfoHealth::numericReading(const QString& value)
{
    // Only an optional sign and digits: blanks, decimal points and units make it non-numeric.
    if (value.isEmpty())
        return notNumeric;
    const int start = (value.front() == QLatin1Char('+') || value.front() == QLatin1Char('-')) ? 1 : 0;
    if (start == value.size())
        return notNumeric;
    for (qsizetype i = start; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return notNumeric;
    }
    bool ok = false;
    const qint64 number = value.toLongLong(&ok, 10);
    return ok ? number : notNumeric;
}

QString DeviceViewInfoHealth::healthIcon(const QString& type, const QString& value)
{
    const qint64 v = numericReading(value);
    if (isElectrical(type))
        return v != 0 ? QStringLiteral("bolt") : QStringLiteral("bolt.slash");
    if (type == QLatin1String("C")) {
        if (v == notNumeric)
            return QStringLiteral("thermometer.medium");
        if (v <= 29)
            return QStringLiteral("thermometer.low");
        if (v <= 59)
            return QStringLiteral("thermometer.medium");
        return QStringLiteral("thermometer.high");
    }
    if (type == QLatin1String("RPM"))
        return v != 0 ? QStringLiteral("fanblades") : QStringLiteral("fanblades.slash");
    return QStringLiteral("questionmark");
}

QColor DeviceViewInfoHealth::healthColor(const QString& type, const QString& value)
{
    const qint64 v = numericReading(value);
    if (isElectrical(type) || type == QLatin1String("RPM"))
        return v != 0 ? SystemColors::green() : SystemColors::red();
    if (type == QLatin1String("C")) {
        if (v == notNumeric)
            return SystemColors::white();
        if (v <= 9)
            return SystemColors::blue();
        if (v <= 29)
            return SystemColors::green();
        if (v <= 49)
            return SystemColors::yellow();
        if (v <= 69)
            return SystemColors::orange();
        return SystemColors::red();
    }
    return SystemColors::white();
}

QString DeviceViewInfoHealth::formatHealthName(const QString& name)
{
    QString text = name;
    text.replace(QLatin1Char('-'), QLatin1Char(' '));
    text.replace(QLatin1String("poe"), QLatin1String("POE"));
    text.replace(QLatin1String("cpu"), QLatin1String("CPU"));
    text.replace(QLatin1String("psu"), QLatin1String("PSU"));
    if (!text.isEmpty())
        text[0] = text.at(0).toUpper();
    return text;
}
