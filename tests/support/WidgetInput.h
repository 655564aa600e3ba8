#pragma once

#include <QString>
#include <QWidget>

class QLineEdit;

// Drives a form as a person would: finds its widgets by object name and types into its fields.
namespace WidgetInput {

// The named child of `root`; a missing widget ends the test run, as it means the form changed.
template<typename T>
T* find(const QWidget* root, const char* name)
{
    T* widget = root->findChild<T*>(QString::fromLatin1(name));
    if (!widget)
        qFatal("no widget %s", name);
    return widget;
}

// Clears the field and types `text` into it.
void retype(QLineEdit* field, const QString& text);

} // namespace WidgetInput
