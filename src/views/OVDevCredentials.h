#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class DeviceFormState;
class QHBoxLayout;
class QLabel;
class QLineEdit;

// The Hostname, Username and Password rows of the device forms. Owns no value: every field is
// bound to the parent form's state and writes each change straight into it.
class OVDevCredentials : public QWidget
{
    Q_OBJECT
public:
    OVDevCredentials(
        DeviceFormState& state, qreal firstColumnWidth, const QColor& textFieldOverlay, QWidget* parent = nullptr);

    // The single-line field both sections use: 4 points of leading padding and a rounded outline
    // (radius 8, width 1) in `overlay`.
    static QLineEdit* makeFramedField(const QString& placeholder, const QColor& overlay, QWidget* parent);
    // A row of a label `width` points wide (text at its leading edge) followed by whatever the
    // caller adds.
    static QHBoxLayout* makeRow(QLabel* label, qreal width);

private:
    void syncFromState();

    DeviceFormState& m_state;
    QLineEdit* m_address = nullptr;
    QLineEdit* m_username = nullptr;
    QLineEdit* m_password = nullptr;
};
