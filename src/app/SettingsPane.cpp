#include "SettingsPane.h"

#include "widgets/Settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {
constexpr int PanePadding = 20;
constexpr int GroupPadding = 5;
constexpr int HeadingTopPadding = 5;
constexpr qreal CornerRadius = 8.0;
constexpr qreal CaptionScale = 10.0 / 13.0;

// A group of rows inside a thin grey rounded outline.
class Group : public QWidget
{
public:
    explicit Group(QWidget* parent)
        : QWidget(parent)
    { }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPen pen(QColor(142, 142, 147), 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        pen.setMiterLimit(10);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), CornerRadius, CornerRadius);
    }
};
} // namespace

SettingsPane::SettingsPane(QWidget* parent)
    : QWidget(parent)
{
    m_column = new QVBoxLayout(this);
    m_column->setContentsMargins(PanePadding, PanePadding, PanePadding, PanePadding);
    // The groups stand at the top; the space below them takes what is left.
    m_column->addStretch(1);
}

void SettingsPane::addGroup()
{
    auto* group = new Group(this);
    group->setObjectName(QStringLiteral("settingsGroup"));
    m_group = new QVBoxLayout(group);
    m_group->setContentsMargins(GroupPadding, GroupPadding, GroupPadding, GroupPadding);
    m_column->insertWidget(m_column->count() - 1, group);
}

QVBoxLayout* SettingsPane::currentGroup()
{
    if (!m_group)
        addGroup();
    return m_group;
}

void SettingsPane::addHeading(const QString& text, bool topPadding)
{
    auto* heading = new QLabel(text);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    auto* row = new QHBoxLayout();
    row->setContentsMargins(0, topPadding ? HeadingTopPadding : 0, 0, 0);
    row->addWidget(heading);
    row->addStretch(1);
    currentGroup()->addLayout(row);
}

void SettingsPane::addOption(const QString& label, QWidget* control)
{
    auto* row = new QHBoxLayout();
    row->setContentsMargins(0, 0, 0, 0);
    auto* text = new QLabel(label);
    text->setBuddy(control);
    row->addWidget(text, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(control, 0, Qt::AlignVCenter);
    currentGroup()->addLayout(row);
}

void SettingsPane::addCaption(const QString& text)
{
    auto* caption = new QLabel(text);
    caption->setWordWrap(true);
    QFont small = caption->font();
    small.setPointSizeF(small.pointSizeF() * CaptionScale);
    caption->setFont(small);
    caption->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    currentGroup()->addWidget(caption);
}

void SettingsPane::addDivider()
{
    auto* line = new QFrame();
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    currentGroup()->addWidget(line);
}

QCheckBox* SettingsPane::addToggleOption(const QString& label, const QString& objectName, const char* key)
{
    auto* toggle = new QCheckBox();
    toggle->setObjectName(objectName);
    toggle->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    const QString name = QString::fromLatin1(key);
    Settings& settings = Settings::instance();
    toggle->setChecked(settings.value(name).toBool());
    connect(toggle, &QCheckBox::toggled, this, [name](bool on) { Settings::instance().setValue(name, on); });
    connect(&settings, &Settings::changed, toggle, [toggle, name](const QString& changed) {
        if (changed != name)
            return;
        const QSignalBlocker blocker(toggle);
        toggle->setChecked(Settings::instance().value(name).toBool());
    });
    addOption(label, toggle);
    return toggle;
}

QComboBox* SettingsPane::addMenuOption(const QString& label, const QString& objectName, const QStringList& entries,
    const char* key, std::function<void(const QString&)> chosen)
{
    auto* menu = new QComboBox();
    menu->setObjectName(objectName);
    for (const QString& entry : entries)
        menu->addItem(entry, entry);
    // Keeps its natural size: it neither stretches nor shrinks.
    menu->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    menu->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    const QString name = QString::fromLatin1(key);
    Settings& settings = Settings::instance();
    // A stored value that is none of the entries selects none of them.
    const auto showStored = [menu, name] {
        const QSignalBlocker blocker(menu);
        menu->setCurrentIndex(menu->findData(Settings::instance().value(name).toString()));
    };
    showStored();
    connect(menu, &QComboBox::activated, this, [menu, name, chosen](int index) {
        const QString value = menu->itemData(index).toString();
        if (value == Settings::instance().value(name).toString())
            return;
        Settings::instance().setValue(name, value);
        if (chosen)
            chosen(value);
    });
    connect(&settings, &Settings::changed, menu, [showStored, name](const QString& changed) {
        if (changed == name)
            showStored();
    });
    addOption(label, menu);
    return menu;
}
