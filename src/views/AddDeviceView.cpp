#include "AddDeviceView.h"

#include "DeviceFormState.h"
#include "OVDevControl.h"
#include "OVDevCredentials.h"
#include "app/AppState.h"
#include "app/OVButton.h"
#include "app/Settings.h"
#include "control/OVControl.h"
#include "control/OVNetSFTP.h"
#include "model/Device.h"
#include "model/PersistenceController.h"
#include "model/Secrets.h"
#include "model/Validate.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {
const QString Outline = QStringLiteral("QFrame#%1 { border: 1px solid gray; border-radius: 8px; }");

QLabel* helpRow(QVBoxLayout* column, const QString& text, const QString& objectName, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeading | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    column->addWidget(label);
    return label;
}
} // namespace

AddDeviceView::AddDeviceView(AppState& appState, QWidget* parent)
    : QWidget(parent)
    , m_appState(appState)
    , m_state(new DeviceFormState(this))
{
    setObjectName(QStringLiteral("addDeviceView"));
    m_state->setServiceName(QStringLiteral("API-SSL"));
    m_state->setControlMethod(QStringLiteral("API"));
    m_state->setUsername(QStringLiteral("admin"));
    m_state->setPort(QStringLiteral("8729"));
    m_state->setSsl(true);
    m_state->setSshport(QStringLiteral("22"));

    // The form column.
    auto* formFrame = new QFrame(this);
    formFrame->setObjectName(QStringLiteral("formFrame"));
    formFrame->setStyleSheet(Outline.arg(formFrame->objectName()));
    formFrame->setFixedWidth(330);
    auto* form = new QVBoxLayout(formFrame);

    auto* title = new QLabel(QStringLiteral("Add Device"), formFrame);
    title->setObjectName(QStringLiteral("titleLabel"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* titleRow = new QHBoxLayout;
    titleRow->setContentsMargins(0, 0, 0, 1);
    titleRow->addWidget(title);
    titleRow->addStretch(1);
    form->addLayout(titleRow);

    form->addWidget(new OVDevCredentials(*m_state, 95, Qt::transparent, formFrame));
    form->addWidget(new OVDevControl(*m_state, 95, Qt::transparent, formFrame));

    auto* actions = new QHBoxLayout;
    actions->addStretch(1);
    m_busy = new QProgressBar(formFrame);
    m_busy->setObjectName(QStringLiteral("busyProgressBar"));
    m_busy->setRange(0, 0);
    m_busy->setTextVisible(false);
    m_busy->setFixedSize(14, 7);
    m_busy->setVisible(false);
    actions->addWidget(m_busy);
    actions->addSpacing(1);
    auto* cancelButton = new OVButton(
        QStringLiteral("x.circle"), QStringLiteral("Cancel"), QStringLiteral("Cancel adding device"),
        [this] { cancel(); }, formFrame);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    actions->addWidget(cancelButton);
    m_add = new OVButton(
        QStringLiteral("plus.circle"), QStringLiteral("Add"), QStringLiteral("Add the device"), [this] { addDevice(); },
        formFrame);
    m_add->setObjectName(QStringLiteral("addButton"));
    actions->addWidget(m_add);
    form->addLayout(actions);

    // The help column.
    auto* helpFrame = new QFrame(this);
    helpFrame->setObjectName(QStringLiteral("helpFrame"));
    helpFrame->setStyleSheet(Outline.arg(helpFrame->objectName()));
    helpFrame->setFixedWidth(320);
    auto* help = new QVBoxLayout(helpFrame);
    help->setSpacing(help->spacing() + 1);
    QLabel* helpTitle = helpRow(help, QStringLiteral("Help"), QStringLiteral("helpTitleLabel"), helpFrame);
    helpTitle->setFont(bold);
    helpTitle->setWordWrap(false);
    helpRow(help,
        QStringLiteral("Either the API or REST API can be used for control. The API is the most reliable method "
                       "especially on devices with low resources."),
        QStringLiteral("helpMethodsLabel"), helpFrame);
    helpRow(help, QStringLiteral("Use an account in the 'full' group so Orvanta has permssion to carry out updates."),
        QStringLiteral("helpAccountLabel"), helpFrame);
    helpRow(help, QStringLiteral("Orvanta uses SFTP over SSH for file transfer. "), QStringLiteral("helpSftpLabel"),
        helpFrame);
    m_helpMethod = helpRow(help, QString(), QStringLiteral("helpMethodLabel"), helpFrame);
    helpRow(help, QStringLiteral("If you need to setup SSL please read the instructions via the Help menu."),
        QStringLiteral("helpSslLabel"), helpFrame);

    auto* columns = new QHBoxLayout;
    columns->setContentsMargins(0, 34, 0, 0);
    auto* formPadding = new QVBoxLayout;
    formPadding->setContentsMargins(10, 10, 10, 10);
    formPadding->addWidget(formFrame);
    columns->addLayout(formPadding);
    auto* helpPadding = new QVBoxLayout;
    helpPadding->setContentsMargins(10, 10, 10, 10);
    helpPadding->addWidget(helpFrame);
    columns->addLayout(helpPadding);
    columns->setAlignment(formFrame, Qt::AlignVCenter);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("statusLabel"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setMinimumHeight(24);
    auto* statusRow = new QHBoxLayout;
    statusRow->setContentsMargins(0, 0, 0, 10);
    statusRow->addStretch(1);
    statusRow->addWidget(m_status);
    statusRow->addStretch(1);

    auto* body = new QVBoxLayout(this);
    body->addLayout(columns);
    body->addLayout(statusRow);

    connect(m_state, &DeviceFormState::changed, this, &AddDeviceView::updateHelp);
    connect(&Settings::instance(), &Settings::changed, this, [this](const QString& key) {
        if (key == QLatin1String(Settings::ValidateOnAdd))
            updateStatus();
    });
    updateHelp();
    updateStatus();
}

AddDeviceView::~AddDeviceView() = default;

void AddDeviceView::cancel()
{
    m_appState.setShowAddDevice(false);
}

void AddDeviceView::addDevice()
{
    if (m_adding)
        return;
    setAdding(true);
    const Settings& settings = Settings::instance();
    Attempt attempt;
    attempt.address = m_state->address();
    attempt.controlMethod = m_state->controlMethod();
    attempt.username = m_state->username();
    attempt.password = m_state->password();
    attempt.port = m_state->port();
    attempt.sshport = m_state->sshport();
    attempt.ssl = m_state->ssl();
    attempt.validateOnAdd = settings.validateOnAdd();
    attempt.restApiValidSSL = settings.restApiValidSSL();
    attempt.restApiTimeout = settings.restApiTimeout();
    // Runs on its own; it holds only guarded pointers to the form and the window state.
    runAttempt(QPointer<AddDeviceView>(this), QPointer<AppState>(&m_appState), std::move(attempt));
}

bool AddDeviceView::validateForm()
{
    setError(QString());
    const ValidateReturn servicePort = Validate::port(m_state->port());
    const ValidateReturn sshPort = Validate::port(m_state->sshport());

    QString problem;
    if (m_state->address().isEmpty())
        problem = QStringLiteral("Please add a hostname");
    else if (!servicePort.success)
        problem = m_state->serviceName() + QStringLiteral(" port: ") + servicePort.message;
    else if (!sshPort.success)
        problem = QStringLiteral("SSH port: ") + sshPort.message;
    else if (m_state->username().isEmpty())
        problem = QStringLiteral("Please add a username");
    else if (m_state->password().isEmpty())
        problem = QStringLiteral("Please add a password");

    if (problem.isEmpty())
        return true;
    setError(problem);
    setAdding(false);
    return false;
}

QCoro::Task<> AddDeviceView::runAttempt(QPointer<AddDeviceView> view, QPointer<AppState> appState, Attempt attempt)
{
    // Nothing has been awaited yet: the form is still there.
    if (!view->validateForm())
        co_return;
    const ValidateReturn duplicate = Validate::address(attempt.address, 0);
    if (!duplicate.success) {
        view->setError(duplicate.message);
        view->setAdding(false);
        co_return;
    }
    const ValidateReturn result = co_await validateDevice(attempt);
    saveDevice(view, appState, attempt, result);
}

QCoro::Task<ValidateReturn> AddDeviceView::validateDevice(Attempt attempt)
{
    if (!attempt.validateOnAdd)
        co_return ValidateReturn::ok();
    const QString enciphered = Secrets::encrypt(attempt.password);
    const ValidateReturn sftp
        = co_await OVNetSFTP::testSftp(attempt.address, attempt.username, enciphered, attempt.sshport);
    if (!sftp.success)
        co_return ValidateReturn::failure(QStringLiteral("SFTP error: ") + sftp.message);
    const std::unique_ptr<OVControl> control
        = OVControl::forControlMethod(attempt.controlMethod, attempt.restApiValidSSL, attempt.restApiTimeout,
            attempt.address, attempt.username, enciphered, attempt.port, attempt.ssl);
    co_return co_await control->makeCall(OVRequestCommand::system_routerboard);
}

void AddDeviceView::saveDevice(const QPointer<AddDeviceView>& view, const QPointer<AppState>& appState,
    const Attempt& attempt, const ValidateReturn& result)
{
    ValidateReturn outcome = result;
    if (outcome.success && attempt.validateOnAdd) {
        // Another attempt (the form reopened after Cancel) may have stored the same address while
        // this one waited for the router.
        outcome = Validate::address(attempt.address, 0);
    }
    if (outcome.success) {
        PersistenceController& store = PersistenceController::shared();
        Device* device = store.insertDevice();
        device->setAddress(attempt.address);
        device->setControlMethod(attempt.controlMethod);
        device->setPassword(Secrets::encrypt(attempt.password));
        device->setPort(attempt.port);
        device->setSshport(attempt.sshport);
        device->setSsl(attempt.ssl);
        device->setUsername(attempt.username);
        store.saveOrDie();
        // Once this form is gone the flag belongs to whatever form the user opened since: an
        // attempt left running after Cancel must not close it.
        if (view && appState)
            appState->setShowAddDevice(false);
    } else if (view) {
        view->setError(outcome.message);
    }
    if (view)
        view->setAdding(false);
}

void AddDeviceView::setError(const QString& error)
{
    if (m_error == error)
        return;
    m_error = error;
    updateStatus();
}

void AddDeviceView::setAdding(bool adding)
{
    if (m_adding == adding)
        return;
    m_adding = adding;
    m_busy->setVisible(adding);
    m_add->setEnabled(!adding);
    updateStatus();
}

void AddDeviceView::updateStatus()
{
    QString text;
    QString colour;
    if (!m_error.isEmpty()) {
        text = m_error;
        colour = QStringLiteral("red");
    } else if (m_adding && Settings::instance().validateOnAdd()) {
        text = QStringLiteral("Validating device credentials...");
        colour = QStringLiteral("green");
    }
    m_status->setText(text);
    m_status->setStyleSheet(colour.isEmpty()
            ? QStringLiteral("QLabel { border: none; padding: 5px; }")
            : QStringLiteral("QLabel { border: 1px solid %1; border-radius: 8px; padding: 5px; }").arg(colour));
}

void AddDeviceView::updateHelp()
{
    m_helpMethod->setText(m_state->controlMethod() == QLatin1String("REST")
            ? QStringLiteral("The REST API is available on RouterOS v7.1 beta 4 or later and only works via the "
                             "web-ssl service on port 443 by default.")
            : QStringLiteral("API functionality works on RouterOS v6.43 and later via the api or api-ssl services "
                             "on ports 8728 and 8729 by default."));
}
