#pragma once

#include "control/ValidateReturn.h"

#include <QCoroTask>
#include <QPointer>
#include <QString>
#include <QWidget>

class AppState;
class DeviceFormState;
class OVButton;
class QLabel;
class QProgressBar;

// The form through which a router joins the device list. Shown while AppState::showAddDevice is
// set; make a new one each time the form opens, so that it starts from the initial values.
// "Add" checks the form, refuses a stored address, optionally proves the account (an SFTP login,
// then one router command over the chosen method), stores the device with its password
// enciphered and closes the form. "Cancel" closes it at once; an attempt under way runs on and
// still stores the device when its checks pass.
class AddDeviceView : public QWidget
{
    Q_OBJECT
public:
    explicit AddDeviceView(AppState& appState, QWidget* parent = nullptr);
    ~AddDeviceView() override;

    DeviceFormState& formState() const { return *m_state; }
    QString error() const { return m_error; }
    bool adding() const { return m_adding; }

    void cancel();
    void addDevice();
    // The form check: true when every value passed, else writes error() and returns false.
    bool validateForm();

private:
    // What an attempt needs once it waits: a copy of the form and of the settings, so that it can
    // finish after the form is gone.
    struct Attempt
    {
        QString address;
        QString controlMethod;
        QString username;
        QString password;
        QString port;
        QString sshport;
        bool ssl = true;
        bool validateOnAdd = true;
        bool restApiValidSSL = false;
        QString restApiTimeout;
    };

    static QCoro::Task<> runAttempt(QPointer<AddDeviceView> view, QPointer<AppState> appState, Attempt attempt);
    static QCoro::Task<ValidateReturn> validateDevice(Attempt attempt);
    static void saveDevice(const QPointer<AddDeviceView>& view, const QPointer<AppState>& appState,
        const Attempt& attempt, const ValidateReturn& result);

    void setError(const QString& error);
    void setAdding(bool adding);
    void updateStatus();
    void updateHelp();

    AppState& m_appState;
    DeviceFormState* m_state = nullptr;
    QString m_error;
    bool m_adding = false;

    QLabel* m_helpMethod = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_busy = nullptr;
    OVButton* m_add = nullptr;
};
