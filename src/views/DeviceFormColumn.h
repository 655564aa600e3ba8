#pragma once

#include <QMargins>
#include <QString>
#include <QWidget>

#include <functional>

class DeviceFormState;
class OVButton;
class QProgressBar;

// The column of a device form: a bold title, the credentials and control-method sections over
// the given form state, and an action row with a busy indicator, a cancel and a confirm button.
// Used by both the add form and the edit form so the two stay alike.
class DeviceFormColumn : public QWidget
{
    Q_OBJECT
public:
    struct Action
    {
        QString systemName;
        QString text;
        QString helpText;
        QString objectName;
        std::function<void()> run;
    };

    DeviceFormColumn(DeviceFormState& state, const QString& title, const QString& titleObjectName,
        const QMargins& titleMargins, Action cancel, Action confirm, QWidget* parent = nullptr);

    // While busy the indicator turns and the confirm button takes no clicks.
    void setBusy(bool busy);

private:
    QProgressBar* m_busy = nullptr;
    OVButton* m_confirm = nullptr;
};
