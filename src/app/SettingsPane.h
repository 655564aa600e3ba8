#pragma once

#include <QString>
#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QVBoxLayout;

// The layout the settings panes share: a column with 20 points of padding holding groups at the
// top. A group has 5 points of padding and a grey rounded outline; its rows are headings, options
// (label on the left, control on the right), captions and dividers.
class SettingsPane : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsPane(QWidget* parent = nullptr);

    // Starts a new group below the previous ones; the rows added next go into it.
    void addGroup();
    void addHeading(const QString& text, bool topPadding = false);
    // The control stands at the trailing edge; the label names it.
    void addOption(const QString& label, QWidget* control);
    void addCaption(const QString& text);
    void addDivider();

    // Option rows whose control is bound to a settings key: it shows the stored value, writes
    // every change at once and follows changes made anywhere else.
    QCheckBox* addToggleOption(const QString& label, const QString& objectName, const char* key);
    // A pop-up menu whose entries are their own values. `chosen` runs after the user picked an
    // entry that really changed the stored value.
    QComboBox* addMenuOption(const QString& label, const QString& objectName, const QStringList& entries,
        const char* key, std::function<void(const QString&)> chosen = {});

private:
    QVBoxLayout* currentGroup();

    QVBoxLayout* m_column = nullptr;
    QVBoxLayout* m_group = nullptr;
};
