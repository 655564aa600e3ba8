#include "DeviceView.h"

#include "DeviceViewConfig.h"
#include "DeviceViewInfo.h"
#include "EditingState.h"
#include "model/Device.h"

#include <QLabel>
#include <QVBoxLayout>

DeviceView::DeviceView(Device* device, AppState& state, EditingState& editing, QWidget* parent)
    : QWidget(parent)
    , m_device(device)
    , m_state(state)
    , m_editing(editing)
{
    setObjectName("deviceView");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    m_placeholder = new QLabel(tr("Please add or select a device"), this);
    m_placeholder->setObjectName("placeholderLabel");
    m_placeholder->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_placeholder, 1);

    m_content = new QWidget(this);
    m_content->setObjectName("deviceContent");
    m_contentLayout = new QVBoxLayout(m_content);
    m_contentLayout->setContentsMargins(0, 0, 0, 0);
    if (m_device) {
        m_contentLayout->addWidget(new DeviceViewConfig(m_device, m_editing, m_content));
        m_info = new DeviceViewInfo(m_device, m_state, m_content);
        m_contentLayout->addWidget(m_info);
    }
    m_contentLayout->addStretch(1);
    layout->addWidget(m_content, 1);

    if (m_device)
        connect(m_device, &Device::changed, this, &DeviceView::redraw);
    connect(&m_editing, &EditingState::changed, this, &DeviceView::redraw);
    redraw();
}

void DeviceView::redraw()
{
    // A deleted device (or one without an address) shows only the placeholder.
    const bool hasAddress = m_device && m_device->address().has_value();
    m_placeholder->setVisible(!hasAddress);
    m_content->setVisible(hasAddress);
    if (m_info)
        m_info->setVisible(hasAddress && !m_editing.value());
}
