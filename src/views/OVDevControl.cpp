#include "OVDevControl.h"

#include "DeviceFormState.h"
#include "OVDevCredentials.h"
#include "model/Validate.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
const QString Rest = QStringLiteral("REST");
const QString Api = QStringLiteral("API");

QString portTitle(const QString& serviceName)
{
    return serviceName + QStringLiteral(" Port");
}
} // namespace

OVDevControl::OVDevControl(
    DeviceFormState& state, qreal firstColumnWidth, const QColor& textFieldOverlay, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
{
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);

    auto* sshLabel = new QLabel(QStringLiteral("SSH Port"), this);
    sshLabel->setObjectName(QStringLiteral("sshPortLabel"));
    m_sshport = OVDevCredentials::makeFramedField(QStringLiteral("SSH Port"), textFieldOverlay, this);
    m_sshport->setObjectName(QStringLiteral("sshPortLineEdit"));
    auto* sshRow = OVDevCredentials::makeRow(sshLabel, firstColumnWidth);
    sshRow->addWidget(m_sshport, 1);
    rows->addLayout(sshRow);

    auto* methodLabel = new QLabel(QStringLiteral("Control Method"), this);
    methodLabel->setObjectName(QStringLiteral("controlMethodLabel"));
    m_rest = new QPushButton(Rest, this);
    m_rest->setObjectName(QStringLiteral("restButton"));
    m_api = new QPushButton(Api, this);
    m_api->setObjectName(QStringLiteral("apiButton"));
    m_methods = new QButtonGroup(this);
    for (QPushButton* segment : {m_rest, m_api}) {
        segment->setCheckable(true);
        segment->setAutoDefault(false);
        segment->setFocusPolicy(Qt::TabFocus);
        m_methods->addButton(segment);
    }
    // Two joined segments; the chosen one is filled.
    const QString segmentStyle = QStringLiteral(
        "QPushButton { border: 1px solid palette(mid); background: palette(button); padding: 2px 12px; %1 }"
        "QPushButton:checked { background: palette(highlight); color: palette(highlighted-text); }");
    m_rest->setStyleSheet(segmentStyle.arg(
        QStringLiteral("border-top-left-radius: 5px; border-bottom-left-radius: 5px; border-right: none;")));
    m_api->setStyleSheet(
        segmentStyle.arg(QStringLiteral("border-top-right-radius: 5px; border-bottom-right-radius: 5px;")));
    auto* methodRow = OVDevCredentials::makeRow(methodLabel, firstColumnWidth);
    methodRow->addStretch(1);
    auto* segments = new QHBoxLayout;
    segments->setSpacing(0);
    segments->addWidget(m_rest);
    segments->addWidget(m_api);
    methodRow->addLayout(segments);
    rows->addLayout(methodRow);

    m_portLabel = new QLabel(this);
    m_portLabel->setObjectName(QStringLiteral("portLabel"));
    m_port = OVDevCredentials::makeFramedField(QString(), textFieldOverlay, this);
    m_port->setObjectName(QStringLiteral("portLineEdit"));
    auto* portRow = OVDevCredentials::makeRow(m_portLabel, firstColumnWidth);
    portRow->addWidget(m_port, 1);
    rows->addLayout(portRow);

    // The whole row is dimmed and inert under REST, so it gets a widget of its own.
    m_sslRow = new QWidget(this);
    m_sslRow->setObjectName(QStringLiteral("sslRowWidget"));
    auto* sslLabel = new QLabel(QStringLiteral("SSL"), m_sslRow);
    sslLabel->setObjectName(QStringLiteral("sslLabel"));
    m_ssl = new QCheckBox(m_sslRow);
    m_ssl->setObjectName(QStringLiteral("sslCheckBox"));
    auto* sslRow = OVDevCredentials::makeRow(sslLabel, firstColumnWidth);
    sslRow->addStretch(1);
    sslRow->addWidget(m_ssl);
    m_sslRow->setLayout(sslRow);
    rows->addWidget(m_sslRow);

    // textEdited and clicked come from the user only; values the parent writes into the state
    // reach the widgets through syncFromState and run neither a filter nor a rule.
    connect(m_sshport, &QLineEdit::textEdited, this,
        [this](const QString& text) { filterDigits(m_sshport, text, &DeviceFormState::setSshport); });
    connect(m_port, &QLineEdit::textEdited, this,
        [this](const QString& text) { filterDigits(m_port, text, &DeviceFormState::setPort); });
    connect(m_rest, &QPushButton::clicked, this, [this] { methodPicked(Rest); });
    connect(m_api, &QPushButton::clicked, this, [this] { methodPicked(Api); });
    connect(m_ssl, &QCheckBox::clicked, this, [this](bool checked) {
        m_state.setSsl(checked);
        onSSLChange();
    });
    connect(&m_state, &DeviceFormState::changed, this, &OVDevControl::syncFromState);
    syncFromState();
}

void OVDevControl::onControlMethodChange()
{
    m_state.setSsl(true);
    if (m_state.controlMethod() == Rest) {
        m_state.setPort(QStringLiteral("443"));
        m_state.setServiceName(QStringLiteral("Web-SSL"));
    } else {
        m_state.setPort(QStringLiteral("8729"));
        m_state.setServiceName(QStringLiteral("API-SSL"));
    }
}

void OVDevControl::onSSLChange()
{
    if (m_state.ssl()) {
        m_state.setPort(QStringLiteral("8729"));
        m_state.setServiceName(QStringLiteral("API-SSL"));
    } else {
        m_state.setPort(QStringLiteral("8728"));
        m_state.setServiceName(QStringLiteral("API"));
    }
}

void OVDevControl::filterDigits(QLineEdit* field, const QString& text, void (DeviceFormState::*setter)(const QString&))
{
    const QString filtered = Validate::digitsOnly(text);
    if (filtered != text) {
        // Keep the cursor after the digits that stood before it.
        const QString before = text.left(field->cursorPosition());
        const auto kept = std::count_if(before.cbegin(), before.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        field->setText(filtered);
        field->setCursorPosition(static_cast<int>(std::min<qsizetype>(kept, filtered.size())));
    }
    (m_state.*setter)(filtered);
}

void OVDevControl::methodPicked(const QString& method)
{
    if (m_state.controlMethod() == method) {
        syncFromState();
        return;
    }
    m_state.setControlMethod(method);
    onControlMethodChange();
}

void OVDevControl::syncFromState()
{
    const auto showText = [](QLineEdit* field, const QString& text) {
        if (field->text() != text)
            field->setText(text);
    };
    showText(m_sshport, m_state.sshport());
    showText(m_port, m_state.port());
    const QString title = portTitle(m_state.serviceName());
    m_portLabel->setText(title);
    m_port->setPlaceholderText(title);

    // A method that is neither segment (say, a stored lower-case value) shows no segment checked.
    m_methods->setExclusive(false);
    m_rest->setChecked(m_state.controlMethod() == Rest);
    m_api->setChecked(m_state.controlMethod() == Api);
    m_methods->setExclusive(true);

    m_ssl->setChecked(m_state.ssl());
    m_sslRow->setEnabled(m_state.controlMethod() != Rest);
}
