#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class DeviceFormState;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The SSH Port, Control Method, service port and SSL rows of the device forms. Owns no value:
// every field is bound to the parent form's state. The port fields keep digits only and the two
// rules keep port, service name and SSL consistent with the method; both run only when the user
// acts, never when the parent loads values into its state.
class OVDevControl : public QWidget
{
    Q_OBJECT
public:
    OVDevControl(
        DeviceFormState& state, qreal firstColumnWidth, const QColor& textFieldOverlay, QWidget* parent = nullptr);

    // After the user picked a different method: SSL on, and the method's default TLS port.
    void onControlMethodChange();
    // After the user flipped the SSL toggle: the API port and service name that go with it.
    void onSSLChange();

private:
    void syncFromState();
    void filterDigits(QLineEdit* field, const QString& text, void (DeviceFormState::*setter)(const QString&));
    void methodPicked(const QString& method);

    DeviceFormState& m_state;
    QLineEdit* m_sshport = nullptr;
    QButtonGroup* m_methods = nullptr;
    QPushButton* m_rest = nullptr;
    QPushButton* m_api = nullptr;
    QLabel* m_portLabel = nullptr;
    QLineEdit* m_port = nullptr;
    QWidget* m_sslRow = nullptr;
    QCheckBox* m_ssl = nullptr;
};
