#include "AddDeviceView.h"

#include "DeviceFormColumn.h"
#include "DeviceFormState.h"
#include "model/Device.h"
#include "model/PersistenceController.h"
#include "model/Secrets.h"
#include "model/Validate.h"
#include "widgets/AppState.h"
#include "widgets/OutlinedFrame.h"
#include "widgets/Settings.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
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
    auto* formFrame = new OutlinedFrame(this);
    formFrame->setObjectName(QStringLiteral("formFrame"));
    formFrame->setFixedWidth(330);
    auto* form = new QVBoxLayout(formFrame);
    m_form = new DeviceFormColumn(*m_state, QStringLiteral("Add Device"), QStringLiteral("titleLabel"),
        QMargins(0, 0, 0, 1),
        {QStringLiteral("x.circle"), QStringLiteral("Cancel"), QStringLiteral("Cancel adding device"),
            QStringLiteral("cancelButton"), [this] { cancel(); }},
        {QStringLiteral("plus.circle"), QStringLiteral("Add"), QStringLiteral("Add the device"),
            QStringLiteral("addButton"), [this] { addDevice(); }},
        formFrame);
    form->addWidget(m_form);

    // The help column.
    auto* helpFrame = new OutlinedFrame(this);
    helpFrame->setObjectName(QStringLiteral("helpFrame"));
    helpFrame->setFixedWidth(320);
    auto* help = new QVBoxLayout(helpFrame);
    help->setSpacing(help->spacing() + 1);
    QLabel* helpTitle = helpRow(help, QStringLiteral("Help"), QStringLiteral("helpTitleLabel"), helpFrame);
    QFont bold = helpTitle->font();
    bold.setBold(true);
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

    // The status line hugs its message: as tall as its lines, never wider than the two columns
    // above it (a long message wraps instead of widening the form).
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("statusLabel"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);
    m_status->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_statusWidthLimit = columns->sizeHint().width();
    auto* statusRow = new QHBoxLayout;
    statusRow->setContentsMargins(0, 0, 0, 10);
    statusRow->addStretch(1);
    statusRow->addWidget(m_status);
    statusRow->addStretch(1);
    // Stands in for the status line while it is empty.
    m_statusSpace = new QWidget(this);
    m_statusSpace->setFixedHeight(24);
    statusRow->addWidget(m_statusSpace);

    // The columns and the status line keep their natural heights; spare height stays below them.
    auto* body = new QVBoxLayout(this);
    body->addLayout(columns);
    body->addLayout(statusRow);
    body->addStretch(1);

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
    // Runs on its own; it holds only guarded pointers to the form and the window state.
    runAttempt(QPointer<AddDeviceView>(this), QPointer<AppState>(&m_appState), DeviceAccount::fromForm(*m_state),
        Settings::instance().validateOnAdd());
}

bool AddDeviceView::validateForm()
{
    setError(QString());
    const QString problem = m_state->firstProblem();
    if (problem.isEmpty())
        return true;
    setError(problem);
    setAdding(false);
    return false;
}

QCoro::Task<> AddDeviceView::runAttempt(
    QPointer<AddDeviceView> view, QPointer<AppState> appState, DeviceAccount account, bool validateOnAdd)
{
    // Nothing has been awaited yet: the form is still there.
    if (!view->validateForm())
        co_return;
    const ValidateReturn duplicate = Validate::address(account.address, 0);
    if (!duplicate.success) {
        view->setError(duplicate.message);
        view->setAdding(false);
        co_return;
    }
    ValidateReturn result = ValidateReturn::ok();
    if (validateOnAdd)
        result = co_await DeviceAccount::test(account);
    const QString enciphered = co_await Secrets::encrypt(account.password);
    saveDevice(view, appState, account, enciphered, result);
}

void AddDeviceView::saveDevice(const QPointer<AddDeviceView>& view, const QPointer<AppState>& appState,
    const DeviceAccount& account, const QString& enciphered, const ValidateReturn& result)
{
    ValidateReturn outcome = result;
    if (outcome.success) {
        // Another attempt (the form reopened after Cancel) may have stored the same address while
        // this one waited for the router or the keychain.
        outcome = Validate::address(account.address, 0);
    }
    if (outcome.success) {
        PersistenceController& store = PersistenceController::shared();
        Device* device = store.insertDevice();
        account.writeTo(*device, enciphered);
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
    m_form->setBusy(adding);
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
    if (!text.isEmpty()) {
        m_status->setStyleSheet(
            QStringLiteral("QLabel { border: 1px solid %1; border-radius: 8px; padding: 5px; }").arg(colour));
        // As wide as the text on one line (the label's own guess would wrap even a short text),
        // up to the columns' width; the height follows from the lines at that width.
        m_status->ensurePolished();
        m_status->setMinimumSize(0, 0);
        m_status->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        m_status->setWordWrap(false);
        const int natural = m_status->sizeHint().width();
        m_status->setWordWrap(true);
        const int width = qMin(natural, m_statusWidthLimit);
        m_status->setFixedSize(width, m_status->heightForWidth(width));
    }
    m_status->setVisible(!text.isEmpty());
    m_statusSpace->setVisible(text.isEmpty());
}

void AddDeviceView::updateHelp()
{
    m_helpMethod->setText(m_state->controlMethod() == QLatin1String("REST")
            ? QStringLiteral("The REST API is available on RouterOS v7.1 beta 4 or later and only works via the "
                             "web-ssl service on port 443 by default.")
            : QStringLiteral("API functionality works on RouterOS v6.43 and later via the api or api-ssl services "
                             "on ports 8728 and 8729 by default."));
}
