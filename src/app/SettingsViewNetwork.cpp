#include "SettingsViewNetwork.h"

#include "model/Validate.h"
#include "widgets/Settings.h"

#include <QLineEdit>

SettingsViewNetwork::SettingsViewNetwork(QWidget* parent)
    : SettingsPane(parent)
{
    addGroup();
    addHeading(QStringLiteral("API & REST API Options"));
    addToggleOption(QStringLiteral("Require trusted SSL certificates"), QStringLiteral("validSslCheckBox"),
        Settings::RestApiValidSSL);
    addCaption(QStringLiteral("If enabled this option requires that the SSL certificate in use by the Web-SSL or "
                              "API-SSL service has a trusted certificate."));
    addDivider();

    m_timeout = new QLineEdit();
    m_timeout->setObjectName(QStringLiteral("timeoutLineEdit"));
    m_timeout->setFixedWidth(60);
    m_timeout->setText(Settings::instance().restApiTimeout());
    addOption(QStringLiteral("Request timeout (seconds)"), m_timeout);
    addCaption(QStringLiteral(
        "The value in seconds after which API requests to the Web-SSL or API-SSL services will timeout."));

    // Every edit is stored as typed; the stored text is then filtered until it settles.
    connect(m_timeout, &QLineEdit::textEdited, this,
        [](const QString& text) { Settings::instance().setRestApiTimeout(text); });
    connect(&Settings::instance(), &Settings::changed, this, &SettingsViewNetwork::timeoutStored);
}

void SettingsViewNetwork::timeoutStored(const QString& key)
{
    if (key != QLatin1String(Settings::RestApiTimeout))
        return;
    Settings& settings = Settings::instance();
    const QString stored = settings.restApiTimeout();
    const QString filtered = Validate::digitsOnly(stored);
    if (filtered != stored) {
        // A further change, which comes back here and is filtered once more.
        settings.setRestApiTimeout(filtered);
        return;
    }
    if (m_timeout->text() != stored) {
        const int cursor = m_timeout->cursorPosition();
        m_timeout->setText(stored);
        m_timeout->setCursorPosition(qMin(cursor, int(stored.size())));
    }
}
