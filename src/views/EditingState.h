#pragma once

#include <QObject>

// The main view's "editing" flag, shared with the configuration panel as a two-way binding:
// true while a device's edit form is open. Main thread only.
class EditingState : public QObject
{
    Q_OBJECT
public:
    explicit EditingState(QObject* parent = nullptr)
        : QObject(parent)
    { }

    bool value() const { return m_value; }
    void setValue(bool value)
    {
        if (m_value == value)
            return;
        m_value = value;
        emit changed(value);
    }

signals:
    void changed(bool value);

private:
    bool m_value = false;
};
