#include "DeviceViewInfoOS.h"

#include "RefreshToggle.h"
#include "maintenance/OVUpdateRouterBOOT.h"
#include "maintenance/OVUpdateRouterOS.h"
#include "maintenance/RouterOSVersion.h"
#include "model/Device.h"
#include "widgets/AppState.h"
#include "widgets/Icons.h"
#include "widgets/OVButton.h"
#include "widgets/OVButtonUpdate.h"
#include "widgets/Settings.h"
#include "widgets/SystemColors.h"

#include <QBasicTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QTimerEvent>
#include <QVBoxLayout>

#include <memory>

namespace {
const QString unknown = QStringLiteral("Unknown");
constexpr int statusIconSize = 14;

QString textOrUnknown(const DeviceViewInfoOS::Text& text)
{
    return text.value_or(unknown);
}

// The small indeterminate progress indicator of the refresh row: a 14 point frame with the
// spinner drawn at half size, one point in from the leading edge.
class ProgressIndicator : public QWidget
{
public:
    explicit ProgressIndicator(QWidget* parent)
        : QWidget(parent)
    {
        setFixedSize(14, 14);
    }

protected:
    void showEvent(QShowEvent*) override { m_timer.start(80, this); }
    void hideEvent(QHideEvent*) override { m_timer.stop(); }
    void timerEvent(QTimerEvent* event) override
    {
        if (event->timerId() != m_timer.timerId())
            return;
        m_step = (m_step + 1) % 12;
        update();
    }
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF frame = QRectF(rect()).adjusted(1, 0, 0, 0);
        const QPointF centre = frame.center();
        painter.translate(centre);
        painter.scale(0.5, 0.5);
        const QColor base = palette().color(QPalette::WindowText);
        for (int i = 0; i < 12; ++i) {
            QColor spoke = base;
            spoke.setAlphaF(0.15f + 0.85f * static_cast<float>((i + 12 - m_step) % 12) / 12.0f);
            painter.setPen(QPen(spoke, 2, Qt::SolidLine, Qt::RoundCap));
            painter.drawLine(QPointF(0, 3.5), QPointF(0, 6.5));
            painter.rotate(30);
        }
    }

private:
    QBasicTimer m_timer;
    int m_step = 0;
};
} // namespace

DeviceViewInfoOS::DeviceViewInfoOS(Device* device, AppState* appState, QWidget* parent)
    : QWidget(parent)
    , m_device(device)
    , m_appState(appState)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);

    auto* refreshRow = new QWidget(this);
    refreshRow->setObjectName(QStringLiteral("refreshRowWidget"));
    refreshRow->setFixedHeight(26);
    auto* refreshLayout = new QHBoxLayout(refreshRow);
    refreshLayout->setContentsMargins(0, 0, 0, 0);
    m_refreshButton = new OVButton(
        QStringLiteral("arrow.clockwise.circle"), QStringLiteral("Refresh"),
        QStringLiteral("Refresh device information"), [this] { toggleRefresh(); }, refreshRow);
    m_refreshButton->setObjectName(QStringLiteral("refreshButton"));
    refreshLayout->addWidget(m_refreshButton);
    m_progress = new ProgressIndicator(refreshRow);
    m_progress->setObjectName(QStringLiteral("refreshProgressWidget"));
    refreshLayout->addWidget(m_progress);
    m_updatedLabel = new QLabel(refreshRow);
    m_updatedLabel->setObjectName(QStringLiteral("updatedLabel"));
    QFont caption = m_updatedLabel->font();
    caption.setItalic(true);
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    m_updatedLabel->setFont(caption);
    refreshLayout->addWidget(m_updatedLabel);
    refreshLayout->addStretch(1);
    column->addWidget(refreshRow);

    auto* tableRow = new QHBoxLayout;
    auto* grid = new QGridLayout;
    addVersionRow(grid, 0, QStringLiteral("routerOS"), QStringLiteral("RouterOS:"), m_routerOS);
    addVersionRow(grid, 1, QStringLiteral("routerBOOT"), QStringLiteral("RouterBOOT:"), m_routerBOOT);
    tableRow->addLayout(grid);
    tableRow->addStretch(1);
    column->addLayout(tableRow);

    if (m_device)
        connect(m_device, &Device::changed, this, &DeviceViewInfoOS::redraw);
    if (m_appState)
        connect(m_appState, &AppState::currentRouterOSChanged, this, &DeviceViewInfoOS::redraw);
    redraw();
}

void DeviceViewInfoOS::addVersionRow(
    QGridLayout* grid, int index, const QString& prefix, const QString& label, VersionRow& row)
{
    auto* name = new QLabel(label, this);
    name->setObjectName(prefix + QStringLiteral("NameLabel"));
    grid->addWidget(name, index, 0, Qt::AlignCenter);
    row.version = new QLabel(this);
    row.version->setObjectName(prefix + QStringLiteral("VersionLabel"));
    grid->addWidget(row.version, index, 1, Qt::AlignCenter);
    row.statusIcon = new QLabel(this);
    row.statusIcon->setObjectName(prefix + QStringLiteral("StatusIconLabel"));
    row.statusIcon->setFixedSize(statusIconSize, statusIconSize);
    grid->addWidget(row.statusIcon, index, 2, Qt::AlignCenter);
    row.offerCell = new QWidget(this);
    row.offerCell->setObjectName(prefix + QStringLiteral("OfferWidget"));
    auto* cellLayout = new QHBoxLayout(row.offerCell);
    cellLayout->setContentsMargins(0, 0, 0, 0);
    row.offerLabel = new QLabel(row.offerCell);
    row.offerLabel->setObjectName(prefix + QStringLiteral("OfferLabel"));
    cellLayout->addWidget(row.offerLabel, 0, Qt::AlignCenter);
    grid->addWidget(row.offerCell, index, 3, Qt::AlignCenter);
}

QString DeviceViewInfoOS::currentRouterOS() const
{
    return m_appState ? m_appState->currentRouterOS() : unknown;
}

void DeviceViewInfoOS::redraw()
{
    if (!m_device)
        return;
    const bool refreshing = m_device->refreshing();
    const bool busyLite = m_device->isBusyLite();
    if (refreshing) {
        m_refreshButton->setText(QStringLiteral("Cancel Refresh"));
        m_refreshButton->setHelpText(QStringLiteral("Cancel device information refresh"));
    } else {
        m_refreshButton->setText(QStringLiteral("Refresh"));
        m_refreshButton->setHelpText(QStringLiteral("Refresh device information"));
    }
    m_refreshButton->setEnabled(!busyLite);
    m_progress->setVisible(refreshing || busyLite);
    m_updatedLabel->setVisible(!(refreshing || busyLite));
    m_updatedLabel->setText(QStringLiteral("Updated ") + m_device->dateAsString());

    const bool upgrading = m_device->upgradingRouterOS() || m_device->upgradingRouterBOOT();
    drawVersionRow(Row::routerOS, m_routerOS, m_device->versionRouterOS(), currentRouterOS(), upgrading);
    drawVersionRow(
        Row::routerBOOT, m_routerBOOT, m_device->currentRouterBOOT(), m_device->upgradeRouterBOOT(), upgrading);
}

void DeviceViewInfoOS::drawVersionRow(
    Row kind, VersionRow& row, const Text& mine, const Text& reference, bool upgrading)
{
    row.version->setText(textOrUnknown(mine));

    const std::optional<StatusIcon> icon = statusIcon(mine, reference);
    row.statusIcon->setPixmap(icon ? Icons::pixmap(icon->symbol, icon->color, statusIconSize) : QPixmap());
    row.statusIcon->setProperty("symbolName", icon ? icon->symbol : QString());
    row.statusIcon->setProperty("symbolColor", icon ? icon->color : QColor());

    const Offer shown = offer(kind, mine, reference, upgrading);
    if (row.shownOffer == shown)
        return;
    row.shownOffer = shown;
    if (row.offerButton) {
        // The button may be the one being pressed right now: let it finish its event first.
        row.offerButton->hide();
        row.offerButton->setParent(nullptr);
        row.offerButton->deleteLater();
        row.offerButton = nullptr;
    }
    row.offerLabel->setVisible(shown.kind == OfferKind::text);
    row.offerLabel->setText(shown.kind == OfferKind::text ? shown.text : QString());
    if (shown.kind == OfferKind::update || shown.kind == OfferKind::move) {
        auto action = kind == Row::routerOS ? std::function<void()>([this] { updateRouterOS(); })
                                            : std::function<void()>([this] { updateRouterBOOT(); });
        row.offerButton = new OVButtonUpdate(shown.symbol, shown.text, shown.helpText, action, row.offerCell);
        const QString prefix = kind == Row::routerOS ? QStringLiteral("routerOS") : QStringLiteral("routerBOOT");
        row.offerButton->setObjectName(
            prefix + (shown.kind == OfferKind::update ? QStringLiteral("UpdateButton") : QStringLiteral("MoveButton")));
        row.offerCell->layout()->addWidget(row.offerButton);
        row.offerButton->show();
    }
}

bool DeviceViewInfoOS::isPreRelease(const QString& version)
{
    return version.contains(QLatin1String("beta")) || version.contains(QLatin1String("rc"));
}

std::optional<DeviceViewInfoOS::StatusIcon> DeviceViewInfoOS::statusIcon(const Text& mine, const Text& reference)
{
    const QString mineText = textOrUnknown(mine);
    const QString referenceText = textOrUnknown(reference);
    if (mineText == unknown || referenceText == unknown)
        return std::nullopt;
    const RouterOSVersion mineVersion(mineText);
    const RouterOSVersion referenceVersion(referenceText);
    if (mineVersion < referenceVersion)
        return StatusIcon {QStringLiteral("exclamationmark.triangle.fill"), SystemColors::red()};
    if (mineVersion == referenceVersion)
        return StatusIcon {QStringLiteral("checkmark.circle.fill"), SystemColors::green()};
    return StatusIcon {QStringLiteral("exclamationmark.triangle.fill"), SystemColors::yellow()};
}

DeviceViewInfoOS::Offer DeviceViewInfoOS::offer(Row row, const Text& mine, const Text& reference, bool upgrading)
{
    const QString mineText = textOrUnknown(mine);
    const QString referenceText = textOrUnknown(reference);
    if (mineText == unknown || referenceText == unknown)
        return {};
    const bool os = row == Row::routerOS;
    const RouterOSVersion mineVersion(mineText);
    const RouterOSVersion referenceVersion(referenceText);
    if (mineVersion < referenceVersion) {
        if (upgrading)
            return {};
        return {OfferKind::update, QStringLiteral("arrow.up.circle"), QStringLiteral("Update to ") + referenceText,
            os ? QStringLiteral("Update RouterOS on the device") : QStringLiteral("Update RouterBOOT on the device")};
    }
    if (mineVersion == referenceVersion)
        return {OfferKind::text, QString(), QStringLiteral("Up to date"), QString()};
    if (isPreRelease(mineText) && !isPreRelease(referenceText)) {
        if (upgrading)
            return {};
        return {OfferKind::move, QStringLiteral("backward.circle"), QStringLiteral("Move to release ") + referenceText,
            os ? QStringLiteral("Move RouterOS to the current stable version")
               : QStringLiteral("Move RouterBOOT to the available version")};
    }
    return {OfferKind::text, QString(),
        os ? QStringLiteral("Newer than current") : QStringLiteral("Newer than RouterOS"), QString()};
}

bool DeviceViewInfoOS::downgradeFlag(const QString& installed, const QString& current)
{
    if (RouterOSVersion(installed) < RouterOSVersion(current))
        return true;
    return isPreRelease(installed);
}

void DeviceViewInfoOS::toggleRefresh()
{
    RefreshToggle::toggle(m_device);
}

void DeviceViewInfoOS::updateRouterOS()
{
    if (!m_device)
        return;
    m_device->setError(QStringLiteral(""));
    m_device->setUpgradingRouterOS(true);
    const QString downloadServer
        = m_appState ? m_appState->downloadServer() : QStringLiteral("https://download.mikrotik.com");
    runRouterOSUpdate(m_device, currentRouterOS(), downloadServer, Settings::instance().restApiValidSSL(),
        Settings::instance().restApiTimeout());
}

void DeviceViewInfoOS::updateRouterBOOT()
{
    if (!m_device)
        return;
    m_device->setError(QStringLiteral(""));
    m_device->setUpgradingRouterBOOT(true);
    runRouterBOOTUpdate(m_device, Settings::instance().restApiValidSSL(), Settings::instance().restApiTimeout());
}

QCoro::Task<> DeviceViewInfoOS::runRouterOSUpdate(QPointer<Device> device, QString currentRouterOS,
    QString downloadServer, bool restApiValidSSL, QString restApiTimeout)
{
    std::optional<ValidateReturn> result;
    const Text installed = device ? device->versionRouterOS() : std::nullopt;
    if (installed) {
        const bool downgrade = downgradeFlag(*installed, currentRouterOS);
        std::unique_ptr<OVUpdateRouterOS> action;
        try {
            action = std::make_unique<OVUpdateRouterOS>(
                device, currentRouterOS, restApiValidSSL, restApiTimeout, downgrade, downloadServer);
        } catch (const OVUpdateRouterOSError&) {
            // Nothing to install (no release known, or no architecture): end quietly.
        }
        if (action)
            result = co_await action->update();
    }
    finishUpdate(device, result, Row::routerOS);
}

QCoro::Task<> DeviceViewInfoOS::runRouterBOOTUpdate(
    QPointer<Device> device, bool restApiValidSSL, QString restApiTimeout)
{
    std::optional<ValidateReturn> result;
    if (device) {
        OVUpdateRouterBOOT action(device, restApiValidSSL, restApiTimeout);
        result = co_await action.run();
    }
    finishUpdate(device, result, Row::routerBOOT);
}

void DeviceViewInfoOS::finishUpdate(Device* device, const std::optional<ValidateReturn>& result, Row row)
{
    if (!device)
        return;
    if (row == Row::routerOS)
        device->setUpgradingRouterOS(false);
    else
        device->setUpgradingRouterBOOT(false);
    if (!result)
        return;
    if (result->success)
        RefreshToggle::toggle(device);
    else
        device->setError(result->message);
}
