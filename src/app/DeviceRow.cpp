#include "DeviceRow.h"

#include "model/Device.h"
#include "model/PersistenceController.h"
#include "widgets/DevicePicture.h"
#include "widgets/Icons.h"
#include "widgets/Settings.h"

#include <QEnterEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
// Type sizes of the platform's text styles.
constexpr int title2PointSize = 17;
constexpr int title3PointSize = 15;
constexpr int footnotePointSize = 10;
} // namespace

DeviceRow::DeviceRow(Device* device, QWidget* parent)
    : QWidget(parent)
    , m_device(device)
{
    setObjectName("deviceRow");
    setAttribute(Qt::WA_Hover);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);

    m_picture = new QLabel(this);
    m_picture->setObjectName("pictureLabel");
    m_picture->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    layout->addWidget(m_picture, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout();
    texts->setContentsMargins(0, 0, 0, 0);
    m_address = new QLabel(this);
    m_address->setObjectName("addressLabel");
    m_model = new QLabel(this);
    m_model->setObjectName("modelLabel");
    texts->addWidget(m_address);
    texts->addWidget(m_model);
    layout->addLayout(texts);
    layout->addStretch(1);

    m_deleteButton = new QToolButton(this);
    m_deleteButton->setObjectName("deleteButton");
    m_deleteButton->setAutoRaise(true);
    m_deleteButton->setIcon(Icons::icon("x.circle", Qt::red, 15));
    m_deleteButton->setIconSize(QSize(15, 15));
    m_deleteButton->setToolTip(tr("Delete device"));
    m_deleteButton->setVisible(false);
    connect(m_deleteButton, &QToolButton::clicked, this, &DeviceRow::deleteDevice);
    layout->addWidget(m_deleteButton);

    if (m_device)
        connect(m_device, &Device::changed, this, &DeviceRow::redraw);
    connect(&Settings::instance(), &Settings::changed, this, [this](const QString& key) {
        if (key == QLatin1String(Settings::SidebarSize))
            redraw();
    });
    redraw();
}

int DeviceRow::pictureSide(const QString& sidebarSize)
{
    if (sidebarSize == QLatin1String("Small"))
        return 0;
    if (sidebarSize == QLatin1String("Medium"))
        return 25;
    return 40;
}

void DeviceRow::redraw()
{
    if (!m_device)
        return;
    const QString size = Settings::instance().sidebarSize();
    const int side = pictureSide(size);
    const QString model = m_device->model().value_or(QStringLiteral("Unknown Model"));

    m_picture->setFixedSize(side, side);
    m_picture->setVisible(side > 0);
    if (side > 0) {
        const qreal ratio = devicePixelRatioF();
        QPixmap picture = DevicePicture::forName(model, QStringLiteral("DeviceUnknown"));
        picture = picture.scaled(QSize(side, side) * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        picture.setDevicePixelRatio(ratio);
        m_picture->setPixmap(picture);
    }

    QFont addressFont = font();
    addressFont.setPointSize(
        size == QLatin1String("Small") || size == QLatin1String("Medium") ? title3PointSize : title2PointSize);
    m_address->setFont(addressFont);
    m_address->setText(m_device->address().value_or(QStringLiteral("Unknown Address")));

    QFont modelFont = font();
    modelFont.setPointSize(footnotePointSize);
    m_model->setFont(modelFont);
    m_model->setText(model);
    m_model->setVisible(size != QLatin1String("Small"));

    updateDeleteButton();
}

void DeviceRow::updateDeleteButton()
{
    const bool upgrading = m_device && (m_device->upgradingRouterOS() || m_device->upgradingRouterBOOT());
    m_deleteButton->setVisible(m_hovering && m_device && !upgrading);
}

void DeviceRow::deleteDevice()
{
    if (!m_device || !m_device->address())
        return;
    PersistenceController* store = m_device->persistenceController();
    if (!store)
        return;
    const QString address = *m_device->address();
    for (Device* match : store->devicesWithAddress(address))
        store->deleteDevice(match);
    store->saveOrDie();
}

void DeviceRow::enterEvent(QEnterEvent* event)
{
    m_hovering = true;
    updateDeleteButton();
    QWidget::enterEvent(event);
}

void DeviceRow::leaveEvent(QEvent* event)
{
    m_hovering = false;
    updateDeleteButton();
    QWidget::leaveEvent(event);
}

void DeviceRow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && m_device)
        emit clicked(m_device);
    QWidget::mouseReleaseEvent(event);
}
