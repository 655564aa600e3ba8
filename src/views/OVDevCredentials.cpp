#include "OVDevCredentials.h"

#include "DeviceFormState.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtMath>

namespace {
void showText(QLineEdit* field, const QString& text)
{
    // Rewriting an equal text would move the cursor while the user types.
    if (field->text() != text)
        field->setText(text);
}
} // namespace

OVDevCredentials::OVDevCredentials(
    DeviceFormState& state, qreal firstColumnWidth, const QColor& textFieldOverlay, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
{
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);

    auto addRow = [&](const QString& label, const QString& objectName, QLineEdit* field) {
        auto* text = new QLabel(label, this);
        text->setObjectName(objectName + QStringLiteral("Label"));
        auto* row = makeRow(text, firstColumnWidth);
        row->addWidget(field, 1);
        rows->addLayout(row);
    };

    m_address = makeFramedField(QStringLiteral("IP or hostname"), textFieldOverlay, this);
    m_address->setObjectName(QStringLiteral("addressLineEdit"));
    addRow(QStringLiteral("Hostname"), QStringLiteral("hostname"), m_address);

    m_username = makeFramedField(QStringLiteral("Username"), textFieldOverlay, this);
    m_username->setObjectName(QStringLiteral("usernameLineEdit"));
    addRow(QStringLiteral("Username"), QStringLiteral("username"), m_username);

    m_password = makeFramedField(QStringLiteral("Password"), textFieldOverlay, this);
    m_password->setObjectName(QStringLiteral("passwordLineEdit"));
    m_password->setEchoMode(QLineEdit::Password);
    addRow(QStringLiteral("Password"), QStringLiteral("password"), m_password);

    connect(m_address, &QLineEdit::textChanged, &m_state, &DeviceFormState::setAddress);
    connect(m_username, &QLineEdit::textChanged, &m_state, &DeviceFormState::setUsername);
    connect(m_password, &QLineEdit::textChanged, &m_state, &DeviceFormState::setPassword);
    connect(&m_state, &DeviceFormState::changed, this, &OVDevCredentials::syncFromState);
    syncFromState();
}

QLineEdit* OVDevCredentials::makeFramedField(const QString& placeholder, const QColor& overlay, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setPlaceholderText(placeholder);
    const QString stroke = overlay.alpha() == 0 ? QStringLiteral("transparent")
                                                : QStringLiteral("rgba(%1, %2, %3, %4)")
                                                      .arg(overlay.red())
                                                      .arg(overlay.green())
                                                      .arg(overlay.blue())
                                                      .arg(overlay.alpha());
    field->setStyleSheet(
        QStringLiteral("QLineEdit { border: 1px solid %1; border-radius: 8px; padding-left: 4px; }").arg(stroke));
    return field;
}

QHBoxLayout* OVDevCredentials::makeRow(QLabel* label, qreal width)
{
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    label->setFixedWidth(qCeil(width));
    label->setAlignment(Qt::AlignLeading | Qt::AlignVCenter);
    row->addWidget(label, 0, Qt::AlignVCenter);
    return row;
}

void OVDevCredentials::syncFromState()
{
    showText(m_address, m_state.address());
    showText(m_username, m_state.username());
    showText(m_password, m_state.password());
}
