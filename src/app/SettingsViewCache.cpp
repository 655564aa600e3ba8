#include "SettingsViewCache.h"

#include "maintenance/OVCache.h"
#include "widgets/OVButton.h"
#include "widgets/OVMessageInfo.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int Padding = 20;
constexpr int BoxPadding = 5;
constexpr qreal CaptionScale = 10.0 / 13.0;

// The storage box: a grey rounded border of width 1.
class Box : public QWidget
{
public:
    explicit Box(QWidget* parent)
        : QWidget(parent)
    { }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(142, 142, 147), 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8.0, 8.0);
    }
};
} // namespace

SettingsViewCache::SettingsViewCache(std::chrono::milliseconds purgedFor, QWidget* parent)
    : QWidget(parent)
    , m_purgedFor(purgedFor)
{
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(Padding, Padding, Padding, Padding);

    auto* box = new Box(this);
    auto* content = new QVBoxLayout(box);
    content->setContentsMargins(BoxPadding, BoxPadding, BoxPadding, BoxPadding);

    auto* title = new QLabel(QStringLiteral("Storage Management"));
    content->addWidget(title);
    content->addSpacing(5);

    auto* sizeRow = new QHBoxLayout();
    sizeRow->addWidget(new QLabel(QStringLiteral("RouterOS cache size")));
    sizeRow->addStretch(1);
    m_sizeLabel = new QLabel(m_cacheSize);
    m_sizeLabel->setObjectName(QStringLiteral("cacheSizeLabel"));
    sizeRow->addWidget(m_sizeLabel);
    content->addLayout(sizeRow);

    auto* purgeRow = new QHBoxLayout();
    purgeRow->addWidget(new QLabel(QStringLiteral("Purge update cache")));
    purgeRow->addStretch(1);
    auto* purge = new OVButton(QStringLiteral("x.circle"), QStringLiteral("Purge"),
        QStringLiteral("Clear RouterOS updates from this device"), [this] { purgeCache(); });
    purge->setObjectName(QStringLiteral("purgeButton"));
    purgeRow->addWidget(purge);
    content->addLayout(purgeRow);

    auto* explanation = new QLabel(
        QStringLiteral("Orvanta caches firmware as it is often installed on multiple devices. Click the purge button "
                       "to remove all RouterOS firmware cached on this device."));
    explanation->setWordWrap(true);
    QFont small = explanation->font();
    small.setPointSizeF(small.pointSizeF() * CaptionScale);
    explanation->setFont(small);
    content->addWidget(explanation);

    m_layout->addWidget(box);
    m_layout->addStretch(1);
}

void SettingsViewCache::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        loadCacheSize();
}

void SettingsViewCache::loadCacheSize()
{
    m_cacheSize = OVCache::size();
    m_sizeLabel->setText(m_cacheSize);
}

void SettingsViewCache::purgeCache()
{
    OVCache::purge();
    loadCacheSize();
    setPurged(true);
    // Every press schedules its own reset; the first one due clears the confirmation.
    QTimer::singleShot(m_purgedFor, this, [this] { setPurged(false); });
}

void SettingsViewCache::setPurged(bool purged)
{
    if (m_purged == purged)
        return;
    m_purged = purged;
    if (purged) {
        m_purgedMessage = new OVMessageInfo(QStringLiteral("Cache purged"), this);
        m_purgedMessage->setObjectName(QStringLiteral("cachePurgedMessage"));
        m_layout->insertWidget(1, m_purgedMessage, 0, Qt::AlignHCenter);
        m_purgedMessage->show();
    } else {
        delete m_purgedMessage;
        m_purgedMessage = nullptr;
    }
}
