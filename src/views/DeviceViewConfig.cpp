#include "DeviceViewConfig.h"

#include "DeviceFormColumn.h"
#include "DeviceFormState.h"
#include "EditingState.h"
#include "model/ByteCountFormatter.h"
#include "model/Device.h"
#include "model/PersistenceController.h"
#include "model/Secrets.h"
#include "model/Validate.h"
#include "widgets/DevicePicture.h"
#include "widgets/OVButton.h"
#include "widgets/OVMessageError.h"
#include "widgets/OVMessageInfo.h"
#include "widgets/OutlinedFrame.h"
#include "widgets/Settings.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
const QString Fallback = QStringLiteral("DeviceUnknown_120");
const QString Validating = QStringLiteral("Validating device credentials...");

// A label of fixed width, the value beside it and a flexible space.
QLabel* addValueRow(QVBoxLayout* column, const QString& label, int width, const QString& objectName, QWidget* parent)
{
    auto* row = new QHBoxLayout;
    auto* title = new QLabel(label, parent);
    title->setFixedWidth(width);
    title->setAlignment(Qt::AlignLeading | Qt::AlignVCenter);
    auto* value = new QLabel(parent);
    value->setObjectName(objectName);
    value->setTextFormat(Qt::PlainText);
    row->addWidget(title);
    row->addWidget(value);
    row->addStretch(1);
    column->addLayout(row);
    return value;
}

QString textOrUnknown(const std::optional<QString>& text)
{
    return text.value_or(QStringLiteral("Unknown"));
}
} // namespace

DeviceViewConfig::DeviceViewConfig(Device* device, EditingState& editing, QWidget* parent)
    : QWidget(parent)
    , m_device(device)
    , m_editing(editing)
    , m_state(new DeviceFormState(this))
{
    setObjectName(QStringLiteral("deviceViewConfig"));
    // As tall as its content: the pane below takes the rest.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    m_state->setServiceName(QStringLiteral("Web-SSL"));
    m_state->setControlMethod(QStringLiteral("REST"));
    m_state->setPort(QStringLiteral("443"));
    m_state->setSshport(QStringLiteral("22"));
    m_state->setSsl(true);
    m_state->setUsername(QStringLiteral("admin"));

    auto* box = new OutlinedFrame(this);
    box->setObjectName(QStringLiteral("configFrame"));
    auto* boxRow = new QHBoxLayout(box);
    boxRow->setContentsMargins(5, 5, 5, 5);
    m_summary = buildSummary();
    m_form = buildForm();
    m_summary->setParent(box);
    m_form->setParent(box);
    boxRow->addWidget(m_summary);
    boxRow->addWidget(m_form);

    m_errorMessage = new OVMessageError(
        [device = m_device]() -> std::optional<QString> {
            if (!device)
                return std::nullopt;
            return device->error();
        },
        this);
    m_errorMessage->setObjectName(QStringLiteral("errorMessage"));
    m_infoMessage = new OVMessageInfo(Validating, this);
    m_infoMessage->setObjectName(QStringLiteral("infoMessage"));

    auto* body = new QVBoxLayout(this);
    body->setContentsMargins(10, 10, 10, 10);
    body->addWidget(box);
    body->addWidget(m_errorMessage, 0, Qt::AlignHCenter);
    body->addWidget(m_infoMessage, 0, Qt::AlignHCenter);

    if (m_device)
        connect(m_device, &Device::changed, this, &DeviceViewConfig::updateFromDevice);
    connect(&m_editing, &EditingState::changed, this, &DeviceViewConfig::updateFace);
    connect(&Settings::instance(), &Settings::changed, this, [this](const QString& key) {
        if (key == QLatin1String(Settings::ValidateOnEdit))
            updateMessages();
    });

    // A panel made while the flag is already up (the pane rebuilt during an edit) shows the
    // device's values, not the blank initial ones.
    if (m_editing.value())
        loadDeviceIntoForm();
    updateFromDevice();
    updateFace();
}

DeviceViewConfig::~DeviceViewConfig() = default;

QWidget* DeviceViewConfig::buildSummary()
{
    auto* summary = new QWidget;
    summary->setObjectName(QStringLiteral("summaryWidget"));
    auto* row = new QHBoxLayout(summary);
    row->setContentsMargins(0, 0, 0, 0);

    auto* columnA = new QVBoxLayout;
    columnA->setSizeConstraint(QLayout::SetFixedSize);
    auto* buttonRow = new QHBoxLayout;
    m_editButton = new OVButton(
        QStringLiteral("square.and.pencil.circle"), QStringLiteral("Edit Configuration"),
        QStringLiteral("Edit device configuration"), [this] { toggleEditing(); }, summary);
    m_editButton->setObjectName(QStringLiteral("editConfigurationButton"));
    buttonRow->addWidget(m_editButton);
    buttonRow->addStretch(1);
    auto* buttonHolder = new QWidget(summary);
    buttonHolder->setFixedHeight(26);
    buttonRow->setContentsMargins(0, 0, 0, 0);
    buttonHolder->setLayout(buttonRow);
    columnA->addWidget(buttonHolder);
    m_arch = addValueRow(columnA, QStringLiteral("Architecture:"), 79, QStringLiteral("archValueLabel"), summary);
    m_cpuCount = addValueRow(columnA, QStringLiteral("CPU Cores:"), 79, QStringLiteral("cpuCountValueLabel"), summary);
    row->addLayout(columnA);

    auto* columnB = new QVBoxLayout;
    columnB->setSizeConstraint(QLayout::SetFixedSize);
    m_address = addValueRow(columnB, QStringLiteral("Hostname:"), 66, QStringLiteral("addressValueLabel"), summary);
    m_model = addValueRow(columnB, QStringLiteral("Model:"), 66, QStringLiteral("modelValueLabel"), summary);
    m_memoryTotal
        = addValueRow(columnB, QStringLiteral("Total RAM:"), 66, QStringLiteral("memoryTotalValueLabel"), summary);
    m_diskTotal
        = addValueRow(columnB, QStringLiteral("Total Disk:"), 66, QStringLiteral("diskTotalValueLabel"), summary);
    row->addLayout(columnB);

    row->addStretch(1);

    m_picture = new QLabel(summary);
    m_picture->setObjectName(QStringLiteral("pictureLabel"));
    m_picture->setFixedSize(60, 60);
    m_picture->setAlignment(Qt::AlignCenter);
    row->addWidget(m_picture);
    return summary;
}

DeviceFormColumn* DeviceViewConfig::buildForm()
{
    auto* form = new DeviceFormColumn(*m_state, QStringLiteral("Configuration"),
        QStringLiteral("configurationTitleLabel"), QMargins(0, 2, 0, 0),
        {QStringLiteral("x.circle"), QStringLiteral("Cancel"), QStringLiteral("Cancel device configuration"),
            QStringLiteral("cancelButton"), [this] { toggleEditing(); }},
        {QStringLiteral("square.and.pencil.circle"), QStringLiteral("Save"),
            QStringLiteral("Save device configuration"), QStringLiteral("saveButton"),
            [this] { saveConfiguration(); }});
    form->setObjectName(QStringLiteral("editFormWidget"));
    return form;
}

QString DeviceViewConfig::deviceImageName(const std::optional<QString>& model)
{
    const QString name = model.value_or(QStringLiteral("Unknown Model")) + QStringLiteral("_120");
    return DevicePicture::exists(name) ? name : Fallback;
}

QString DeviceViewConfig::sizeText(const std::optional<QString>& bytes)
{
    const QString text = bytes.value_or(QStringLiteral("0"));
    bool ok = false;
    qint64 count = text.toLongLong(&ok, 10);
    // Only a bare number counts; the conversion alone would accept surrounding blanks.
    if (!ok || text.trimmed() != text)
        count = 0;
    return ByteCountFormatter::binaryStyle(count);
}

void DeviceViewConfig::toggleEditing()
{
    if (m_device)
        m_device->setError(QString());
    m_editing.setValue(!m_editing.value());
    loadDeviceIntoForm();
}

void DeviceViewConfig::loadDeviceIntoForm()
{
    if (!m_device)
        return;
    const Device& device = *m_device;
    m_state->setAddress(device.address().value_or(QString()));
    m_state->setControlMethod(device.controlMethod().value_or(QString()));
    const std::optional<QString> stored = device.password();
    // The clear password follows when the keychain answers; until then Save waits.
    m_state->setPassword(QString());
    ++m_passwordLoad;
    setLoadingPassword(stored.has_value());
    if (stored)
        loadPassword(QPointer<DeviceViewConfig>(this), m_passwordLoad, *stored);
    m_state->setPort(device.port().value_or(QString()));
    m_state->setSshport(device.sshport().value_or(QString()));
    m_state->setSsl(device.ssl());
    m_state->setUsername(device.username().value_or(QString()));
    if (m_state->controlMethod() == QLatin1String("REST"))
        m_state->setServiceName(QStringLiteral("Web-SSL"));
    else
        m_state->setServiceName(m_state->ssl() ? QStringLiteral("API-SSL") : QStringLiteral("API"));
}

QCoro::Task<> DeviceViewConfig::loadPassword(QPointer<DeviceViewConfig> view, int load, QString stored)
{
    const ValidateReturn clear = co_await Secrets::decrypt(stored);
    // A later load (the form reopened, a save) owns the field now.
    if (!view || view->m_passwordLoad != load)
        co_return;
    // What the user typed meanwhile stays.
    if (view->m_state->password().isEmpty())
        view->m_state->setPassword(clear.response.value_or(QString()));
    view->setLoadingPassword(false);
}

void DeviceViewConfig::saveConfiguration()
{
    if (m_saving || m_loadingPassword || !m_device)
        return;
    setSaving(true);
    if (!checkBeforeSave()) {
        setSaving(false);
        return;
    }
    runSave(QPointer<DeviceViewConfig>(this), m_device, QPointer<EditingState>(&m_editing),
        DeviceAccount::fromForm(*m_state), Settings::instance().validateOnEdit());
}

bool DeviceViewConfig::checkBeforeSave()
{
    if (!m_device)
        return false;
    Device& device = *m_device;
    device.setError(QString());
    const QString address = m_state->address();
    const ValidateReturn duplicate = Validate::address(address, device.address() == address ? 1 : 0);
    // A stored address comes first: the other checks only matter for an address that may be used.
    const QString problem = duplicate.success ? m_state->firstProblem() : duplicate.message;
    if (problem.isEmpty())
        return true;
    device.setError(problem);
    return false;
}

QCoro::Task<> DeviceViewConfig::runSave(QPointer<DeviceViewConfig> view, QPointer<Device> device,
    QPointer<EditingState> editing, DeviceAccount account, bool validateOnEdit)
{
    ValidateReturn result = ValidateReturn::ok();
    if (validateOnEdit)
        result = co_await DeviceAccount::test(account);
    const QString enciphered = co_await Secrets::encrypt(account.password);
    if (device && !device->isDeleted()) {
        if (!result.success) {
            device->setError(result.message);
        } else {
            account.writeTo(*device, enciphered);
            PersistenceController::shared().saveOrDie();
            device->setError(QString());
            // Closed rather than flipped: a Cancel pressed while the test ran has already closed
            // the form, and the save must not open it again.
            if (editing)
                editing->setValue(false);
            if (view)
                view->loadDeviceIntoForm();
        }
    }
    if (view)
        view->setSaving(false);
}

void DeviceViewConfig::setSaving(bool saving)
{
    if (m_saving == saving)
        return;
    m_saving = saving;
    m_form->setBusy(m_saving || m_loadingPassword);
    updateMessages();
}

void DeviceViewConfig::setLoadingPassword(bool loading)
{
    m_loadingPassword = loading;
    m_form->setBusy(m_saving || m_loadingPassword);
}

void DeviceViewConfig::updateFromDevice()
{
    // Hidden only while there is no address; showing is left to the parent otherwise, so a panel
    // made before it is placed never opens as a window of its own.
    const bool shown = m_device && m_device->address().has_value();
    if (!shown && !m_hiddenForNoAddress) {
        m_hiddenForNoAddress = true;
        hide();
    } else if (shown && m_hiddenForNoAddress) {
        m_hiddenForNoAddress = false;
        show();
    }
    if (!m_device)
        return;
    const Device& device = *m_device;
    m_arch->setText(textOrUnknown(device.arch()));
    m_cpuCount->setText(textOrUnknown(device.cpuCount()));
    m_address->setText(textOrUnknown(device.address()));
    m_model->setText(textOrUnknown(device.model()));
    m_memoryTotal->setText(sizeText(device.memoryTotal()));
    m_diskTotal->setText(sizeText(device.diskTotal()));
    m_editButton->setEnabled(!device.refreshing() && !device.isBusyLite());

    const QString pictureName = deviceImageName(device.model());
    if (pictureName != m_pictureName) {
        m_pictureName = pictureName;
        m_picture->setPixmap(DevicePicture::forName(pictureName, Fallback)
                                 .scaled(m_picture->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    updateMessages();
}

void DeviceViewConfig::updateFace()
{
    const bool editing = m_editing.value();
    m_summary->setVisible(!editing);
    m_form->setVisible(editing);
    updateMessages();
}

void DeviceViewConfig::updateMessages()
{
    m_errorMessage->refresh();
    const bool editing = m_editing.value();
    const bool hasError = !m_errorMessage->message().isEmpty();
    m_errorMessage->setVisible(editing && hasError);
    m_infoMessage->setVisible(editing && !hasError && m_saving && Settings::instance().validateOnEdit());
}
