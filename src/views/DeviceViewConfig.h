#pragma once

#include "DeviceAccount.h"
#include "control/ValidateReturn.h"

#include <QCoroTask>
#include <QPointer>
#include <QString>
#include <QWidget>

class Device;
class DeviceFormColumn;
class DeviceFormState;
class EditingState;
class OVButton;
class OVMessageError;
class OVMessageInfo;
class QLabel;

// The top panel of a device's pane. Not editing: a summary of the device (host name, model,
// sizes, architecture, cores), its picture and "Edit Configuration". Editing (the main view's
// flag): the edit form, whose Save checks the values, optionally proves them against the router
// (an SFTP login, then one router command), writes the seven connection attributes and closes
// the form. Draws nothing while the device has no address.
class DeviceViewConfig : public QWidget
{
    Q_OBJECT
public:
    DeviceViewConfig(Device* device, EditingState& editing, QWidget* parent = nullptr);
    ~DeviceViewConfig() override;

    DeviceFormState& formState() const { return *m_state; }
    bool saving() const { return m_saving; }
    // The resource name of the summary's picture: the model + "_120", or "DeviceUnknown_120".
    QString pictureName() const { return m_pictureName; }

    static QString deviceImageName(const std::optional<QString>& model);
    // The summary's size text: the attribute read as a 64-bit decimal count of bytes (0 when
    // absent or not such a number) in the binary style.
    static QString sizeText(const std::optional<QString>& bytes);

    void toggleEditing();
    // Fills the form from the device; the clear password follows once the keychain answers.
    void loadDeviceIntoForm();
    bool loadingPassword() const { return m_loadingPassword; }
    void saveConfiguration();
    // The synchronous form check; a failure's message goes into the device's error.
    bool checkBeforeSave();

private:
    // The save copies the form and the settings first, so that it can finish whatever happens to
    // the panel meanwhile; the values written are the ones that passed the check.
    static QCoro::Task<> runSave(QPointer<DeviceViewConfig> view, QPointer<Device> device,
        QPointer<EditingState> editing, DeviceAccount account, bool validateOnEdit);
    static QCoro::Task<> loadPassword(QPointer<DeviceViewConfig> view, int load, QString stored);

    QWidget* buildSummary();
    DeviceFormColumn* buildForm();
    void setSaving(bool saving);
    void setLoadingPassword(bool loading);
    void updateFromDevice();
    void updateFace();
    void updateMessages();

    QPointer<Device> m_device;
    EditingState& m_editing;
    DeviceFormState* m_state = nullptr;
    bool m_saving = false;
    bool m_loadingPassword = false;
    int m_passwordLoad = 0;
    bool m_hiddenForNoAddress = false;
    QString m_pictureName;

    QWidget* m_summary = nullptr;
    DeviceFormColumn* m_form = nullptr;
    OVButton* m_editButton = nullptr;
    QLabel* m_arch = nullptr;
    QLabel* m_cpuCount = nullptr;
    QLabel* m_address = nullptr;
    QLabel* m_model = nullptr;
    QLabel* m_memoryTotal = nullptr;
    QLabel* m_diskTotal = nullptr;
    QLabel* m_picture = nullptr;
    OVMessageError* m_errorMessage = nullptr;
    OVMessageInfo* m_infoMessage = nullptr;
};
