#pragma once

#include "DeviceAccount.h"
#include "control/ValidateReturn.h"

#include <QCoroTask>
#include <QPointer>
#include <QString>
#include <QWidget>

class AppState;
class DeviceFormColumn;
class DeviceFormState;
class QLabel;

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
    // The attempt copies the form and the settings first, so that it can finish after the form
    // is gone.
    static QCoro::Task<> runAttempt(
        QPointer<AddDeviceView> view, QPointer<AppState> appState, DeviceAccount account, bool validateOnAdd);
    static void saveDevice(const QPointer<AddDeviceView>& view, const QPointer<AppState>& appState,
        const DeviceAccount& account, const QString& enciphered, const ValidateReturn& result);

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
    QWidget* m_statusSpace = nullptr;
    int m_statusWidthLimit = 0;
    DeviceFormColumn* m_form = nullptr;
};
