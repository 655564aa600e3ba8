#include "OVToolbarView.h"

#include "control/SharedNetwork.h"
#include "widgets/AppState.h"
#include "widgets/OVButton.h"
#include "widgets/Settings.h"

#include <QCoroNetworkReply>
#include <QHBoxLayout>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QShowEvent>
#include <QUrl>

#include <memory>

namespace {
const QString Unknown = QStringLiteral("Unknown");
const QString ButtonPrefix = QStringLiteral("Current RouterOS: ");
} // namespace

OVToolbarView::OVToolbarView(AppState& state, QWidget* parent)
    : OVToolbarView(state, state.upgradeServer(), parent)
{ }

OVToolbarView::OVToolbarView(AppState& state, const QString& upgradeServer, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_upgradeServer(upgradeServer)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_button = new OVButton(
        QStringLiteral("arrow.clockwise.circle"), ButtonPrefix + state.currentRouterOS(),
        QStringLiteral("Check for RouterOS updates from MikroTik"), [this] { fetchLatestRouterOS(); }, this);
    m_button->setObjectName(QStringLiteral("currentRouterOSButton"));
    layout->addWidget(m_button, 0, Qt::AlignVCenter);
    connect(&state, &AppState::currentRouterOSChanged, this, &OVToolbarView::showVersion);
}

void OVToolbarView::showVersion(const QString& version)
{
    m_button->setText(ButtonPrefix + version);
}

void OVToolbarView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Every showing looks the release up again; a window merely restored by the window system
    // (a spontaneous show) is not a new showing.
    if (!event->spontaneous())
        fetchLatestRouterOS();
}

void OVToolbarView::fetchLatestRouterOS()
{
    lookupInto(QPointer<AppState>(&m_state), m_upgradeServer, Settings::instance().releaseChannel());
}

QString OVToolbarView::latestReleasePath(const QString& channel)
{
    return channel == QLatin1String("Stable") ? QStringLiteral("/routeros/LATEST.7")
                                              : QStringLiteral("/routeros/LATEST.7rc");
}

QString OVToolbarView::parseLatestVersion(const std::optional<QByteArray>& body)
{
    if (!body)
        return Unknown;
    const QString text = QString::fromUtf8(*body);
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    if (blank < 0)
        return Unknown;
    return text.left(blank);
}

QCoro::Task<std::optional<QByteArray>> OVToolbarView::requestLatestRelease(QString server, QString channel)
{
    QUrl url(server);
    url.setPath(latestReleasePath(channel));
    QNetworkRequest request(url);
    request.setTransferTimeout(int(std::chrono::duration_cast<std::chrono::milliseconds>(LookupTimeout).count()));
    // This coroutine resumes inside the reply's finished signal: the reply may only go later.
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply*)> reply(
        sharedNetworkAccessManager().get(request), [](QNetworkReply* done) { done->deleteLater(); });
    co_await reply.get();

    // An error page is not a release file: only a successful answer is read.
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid() || status.toInt() < 200 || status.toInt() > 299)
        co_return std::nullopt;
    if (reply->error() != QNetworkReply::NoError)
        co_return std::nullopt;
    const QByteArray body = reply->readAll();
    if (body.isEmpty())
        co_return std::nullopt;
    co_return body;
}

QCoro::Task<> OVToolbarView::lookupInto(QPointer<AppState> state, QString server, QString channel)
{
    const std::optional<QByteArray> body = co_await requestLatestRelease(server, channel);
    if (state)
        state->setCurrentRouterOS(parseLatestVersion(body));
}
