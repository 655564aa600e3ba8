#include "DeviceRow.h"

#include "model/Device.h"
#include "model/DeviceListModel.h"
#include "model/PersistenceController.h"
#include "widgets/DevicePicture.h"
#include "widgets/Icons.h"
#include "widgets/Settings.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHash>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmapCache>
#include <QScrollBar>
#include <QToolTip>

namespace {
// Type sizes of the platform's text styles.
constexpr int title2PointSize = 17;
constexpr int title3PointSize = 15;
constexpr int footnotePointSize = 10;

constexpr int HorizontalMargin = 4;
constexpr int VerticalMargin = 2;
constexpr int Spacing = 6;
constexpr int TextLineSpacing = 2;
constexpr int DeleteIconSide = 15;
constexpr int DeleteButtonSide = 21;
constexpr int TextSlack = 3;

bool isSmall(const QString& size)
{
    return size == QLatin1String("Small");
}

QFont addressFontFor(const QString& size, const QFont& base)
{
    QFont font = base;
    font.setPointSize(isSmall(size) || size == QLatin1String("Medium") ? title3PointSize : title2PointSize);
    return font;
}

QFont modelFontFor(const QFont& base)
{
    QFont font = base;
    font.setPointSize(footnotePointSize);
    return font;
}

int rowHeight(const QString& size)
{
    return isSmall(size) ? 30 : (size == QLatin1String("Medium") ? 42 : 56);
}

// The board picture scaled to its frame, kept once drawn: rows are painted again on every scroll.
QPixmap scaledPicture(const QString& model, int side, qreal ratio)
{
    const QString key = QStringLiteral("orvanta-row-picture:%1:%2:%3").arg(model).arg(side).arg(ratio);
    QPixmap picture;
    if (QPixmapCache::find(key, &picture))
        return picture;
    picture = DevicePicture::forName(model, QStringLiteral("DeviceUnknown"));
    picture = picture.scaled(QSize(side, side) * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    picture.setDevicePixelRatio(ratio);
    QPixmapCache::insert(key, picture);
    return picture;
}
// Text widths for many rows at once. Shaping every address of a large store takes longer than
// drawing the window, so plain ASCII text is measured as the sum of its characters' advances,
// which differs from the shaped width by kerning and rounding only (a few pixels of slack cover
// that); other text is shaped.
class TextWidths
{
public:
    explicit TextWidths(const QFont& font)
        : m_metrics(font)
    {
        for (int c = 0; c < 128; ++c)
            m_advance[c] = m_metrics.horizontalAdvance(QChar(c));
    }

    // `repeated`: texts that recur across rows (models) are shaped once each.
    int width(const QString& text, bool repeated = false)
    {
        if (repeated) {
            const auto found = m_known.constFind(text);
            if (found != m_known.constEnd())
                return *found;
        }
        int sum = 0;
        for (const QChar c : text) {
            if (c.unicode() >= 128 || c.unicode() < 32) {
                sum = m_metrics.horizontalAdvance(text);
                break;
            }
            sum += m_advance[c.unicode()];
        }
        if (repeated)
            m_known.insert(text, sum);
        return sum;
    }

private:
    QFontMetrics m_metrics;
    int m_advance[128] = {};
    QHash<QString, int> m_known;
};
} // namespace

DeviceRow::DeviceRow(QAbstractItemView* view)
    : QStyledItemDelegate(view)
    , m_view(view)
{
    setObjectName("deviceRow");
    // The pointer is followed over the viewport, so that the hovered row shows its delete control.
    m_view->viewport()->setMouseTracking(true);
    m_view->viewport()->installEventFilter(this);
    connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        const QPoint pointer = m_view->viewport()->mapFromGlobal(QCursor::pos());
        setHovered(m_view->viewport()->underMouse() ? m_view->indexAt(pointer) : QModelIndex());
    });

    if (QAbstractItemModel* model = m_view->model()) {
        connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { measureRows(first, last); });
        connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                measureRows(topLeft.row(), bottomRight.row());
            });
        connect(model, &QAbstractItemModel::rowsRemoved, this, &DeviceRow::measureAllRows);
        connect(model, &QAbstractItemModel::modelReset, this, &DeviceRow::measureAllRows);
    }
    connect(&Settings::instance(), &Settings::changed, this, [this](const QString& key) {
        if (key == QLatin1String(Settings::SidebarSize))
            measureAllRows();
    });
    measureAllRows();
}

Device* DeviceRow::deviceOf(const QModelIndex& index)
{
    return index.isValid() ? index.data(DeviceListModel::DeviceRole).value<Device*>() : nullptr;
}

int DeviceRow::pictureSide(const QString& sidebarSize)
{
    if (isSmall(sidebarSize))
        return 0;
    if (sidebarSize == QLatin1String("Medium"))
        return 25;
    return 40;
}

bool DeviceRow::deleteButtonShown(const QModelIndex& index) const
{
    const Device* device = deviceOf(index);
    if (!device || !index.isValid() || index != QModelIndex(m_hovered))
        return false;
    return !device->upgradingRouterOS() && !device->upgradingRouterBOOT();
}

DeviceRow::Layout DeviceRow::layout(const QRect& rowRect, const QModelIndex& index) const
{
    const QString size = Settings::instance().sidebarSize();
    // A row laid out before the scroll bar appeared can reach under it: keep to what is in sight.
    QRect row = rowRect;
    row.setRight(qMin(row.right(), m_view->viewport()->width() - 1));
    const QRect content = row.adjusted(HorizontalMargin, VerticalMargin, -HorizontalMargin, -VerticalMargin);
    Layout result;
    result.addressFont = addressFontFor(size, m_view->font());
    result.modelFont = modelFontFor(m_view->font());

    int left = content.left();
    const int side = pictureSide(size);
    if (side > 0) {
        // Aligned to the top of the row, as a picture beside a title.
        result.picture = QRect(left, content.top(), side, side);
        left += side + Spacing;
    }
    int right = content.right();
    if (deleteButtonShown(index)) {
        result.deleteButton = QRect(right - DeleteButtonSide + 1, content.center().y() - DeleteButtonSide / 2,
            DeleteButtonSide, DeleteButtonSide);
        right = result.deleteButton.left() - Spacing;
    }

    const int addressHeight = QFontMetrics(result.addressFont).height();
    const int modelHeight = isSmall(size) ? 0 : QFontMetrics(result.modelFont).height();
    const int textHeight = addressHeight + (modelHeight > 0 ? TextLineSpacing + modelHeight : 0);
    const int top = content.top() + qMax(0, (content.height() - textHeight) / 2);
    const int width = qMax(0, right - left + 1);
    result.address = QRect(left, top, width, addressHeight);
    if (modelHeight > 0)
        result.model = QRect(left, top + addressHeight + TextLineSpacing, width, modelHeight);
    return result;
}

QSize DeviceRow::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    Q_UNUSED(index)
    return QSize(option.rect.width(), rowHeight(Settings::instance().sidebarSize()));
}

void DeviceRow::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    if (selected)
        painter->fillRect(option.rect, option.palette.highlight());
    const Layout parts = layout(option.rect, index);
    painter->save();
    if (!parts.picture.isEmpty()) {
        const QString model = index.data(Qt::AccessibleDescriptionRole).toString();
        const QPixmap picture = scaledPicture(model, parts.picture.width(), painter->device()->devicePixelRatioF());
        painter->drawPixmap(parts.picture.topLeft(), picture);
    }
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::WindowText));
    painter->setFont(parts.addressFont);
    const QString address = index.data(Qt::AccessibleTextRole).toString();
    painter->drawText(parts.address, Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(parts.addressFont).elidedText(address, Qt::ElideRight, parts.address.width()));
    if (!parts.model.isEmpty()) {
        painter->setFont(parts.modelFont);
        const QString model = index.data(Qt::AccessibleDescriptionRole).toString();
        painter->drawText(parts.model, Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetrics(parts.modelFont).elidedText(model, Qt::ElideRight, parts.model.width()));
    }
    if (!parts.deleteButton.isEmpty()) {
        const QRect icon(parts.deleteButton.center() - QPoint(DeleteIconSide / 2, DeleteIconSide / 2),
            QSize(DeleteIconSide, DeleteIconSide));
        painter->drawPixmap(icon, Icons::pixmap(QStringLiteral("x.circle"), Qt::red, DeleteIconSide));
    }
    painter->restore();
}

bool DeviceRow::editorEvent(
    QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option, const QModelIndex& index)
{
    Q_UNUSED(model)
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const bool onDelete = layout(option.rect, index).deleteButton.contains(mouse->position().toPoint());
    if (event->type() == QEvent::MouseButtonPress) {
        // A press on the delete control neither selects nor clicks the row.
        m_pressedDelete = onDelete ? QPersistentModelIndex(index) : QPersistentModelIndex();
        return onDelete;
    }
    const bool pressedDelete = m_pressedDelete.isValid() && QModelIndex(m_pressedDelete) == index;
    m_pressedDelete = QPersistentModelIndex();
    if (pressedDelete) {
        // Acts as a button does: on release over the control that took the press.
        if (onDelete)
            deleteDevice(deviceOf(index));
        return true;
    }
    if (Device* device = deviceOf(index))
        emit clicked(device);
    return false;
}

bool DeviceRow::helpEvent(
    QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() == QEvent::ToolTip && layout(option.rect, index).deleteButton.contains(event->pos())) {
        QToolTip::showText(event->globalPos(), tr("Delete device"), view->viewport());
        return true;
    }
    QToolTip::hideText();
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

bool DeviceRow::eventFilter(QObject* watched, QEvent* event)
{
    // While the view is being destroyed its viewport still sends events here, but the view is no
    // longer a view (its type says so): nothing of it may be touched then.
    if (!qobject_cast<QAbstractItemView*>(parent()))
        return false;
    if (watched == m_view->viewport()) {
        switch (event->type()) {
        case QEvent::MouseMove:
            setHovered(m_view->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint()));
            break;
        case QEvent::Enter:
            setHovered(m_view->indexAt(static_cast<QEnterEvent*>(event)->position().toPoint()));
            break;
        case QEvent::Leave:
            setHovered({});
            break;
        default:
            break;
        }
    }
    return QStyledItemDelegate::eventFilter(watched, event);
}

void DeviceRow::setHovered(const QModelIndex& index)
{
    if (index == QModelIndex(m_hovered))
        return;
    const QModelIndex previous = m_hovered;
    m_hovered = index;
    if (previous.isValid())
        m_view->update(previous);
    if (index.isValid())
        m_view->update(index);
}

void DeviceRow::deleteDevice(Device* device)
{
    if (!device || !device->address())
        return;
    PersistenceController* store = device->persistenceController();
    if (!store)
        return;
    const QString address = *device->address();
    for (Device* match : store->devicesWithAddress(address))
        store->deleteDevice(match);
    store->saveOrDie();
}

int DeviceRow::widestRow(int first, int last) const
{
    QAbstractItemModel* model = m_view->model();
    if (!model)
        return 0;
    const QString size = Settings::instance().sidebarSize();
    TextWidths address(addressFontFor(size, m_view->font()));
    TextWidths modelLine(modelFontFor(m_view->font()));
    int widest = 0;
    for (int row = qMax(0, first); row <= last && row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        widest = qMax(widest, address.width(index.data(Qt::AccessibleTextRole).toString()));
        if (!isSmall(size))
            widest = qMax(widest, modelLine.width(index.data(Qt::AccessibleDescriptionRole).toString(), true));
    }
    if (widest == 0)
        return 0;
    const int side = pictureSide(size);
    // Room for the delete control too, so that hovering a row does not cut its address.
    return HorizontalMargin + (side > 0 ? side + Spacing : 0) + widest + TextSlack + Spacing + DeleteButtonSide
        + HorizontalMargin;
}

void DeviceRow::setRequiredWidth(int width)
{
    if (width == m_requiredWidth)
        return;
    m_requiredWidth = width;
    emit requiredWidthChanged(width);
}

void DeviceRow::measureRows(int first, int last)
{
    setRequiredWidth(qMax(m_requiredWidth, widestRow(first, last)));
}

void DeviceRow::measureAllRows()
{
    setRequiredWidth(widestRow(0, m_view->model() ? m_view->model()->rowCount() - 1 : -1));
}
