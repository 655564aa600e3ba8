#include "ContentView.h"

#include "DeviceRow.h"
#include "OVToolbarView.h"
#include "model/Device.h"
#include "model/PersistenceController.h"
#include "views/DeviceView.h"
#include "views/RefreshToggle.h"
#include "widgets/AppState.h"
#include "widgets/Icons.h"
#include "widgets/Settings.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
// The list column is never narrower than this, and wider when its rows need it, up to a limit
// past which a long host name is cut rather than crowding out the device.
constexpr int ListColumnWidth = 190;
constexpr int FittedListColumnWidth = 480;
} // namespace

ContentView::ContentView(AppState& state, PersistenceController& store, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_store(store)
    , m_model(store)
{
    setObjectName("contentView");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName("contentSplitter");
    m_splitter->setChildrenCollapsible(true);
    layout->addWidget(m_splitter);

    // List column: the add button above the list.
    m_listColumn = new QWidget(m_splitter);
    m_listColumn->setObjectName("listColumn");
    auto* listLayout = new QVBoxLayout(m_listColumn);
    listLayout->setContentsMargins(0, 4, 0, 0);
    auto* listToolbar = new QHBoxLayout();
    listToolbar->setContentsMargins(6, 0, 6, 0);
    listToolbar->addStretch(1);
    m_addButton = new QToolButton(m_listColumn);
    m_addButton->setObjectName("addDeviceButton");
    m_addButton->setAutoRaise(true);
    m_addButton->setIcon(Icons::icon("plus.circle", palette().color(QPalette::PlaceholderText), 18));
    m_addButton->setIconSize(QSize(18, 18));
    connect(m_addButton, &QToolButton::clicked, this, [this] { m_state.setShowAddDevice(!m_state.showAddDevice()); });
    listToolbar->addWidget(m_addButton);
    listLayout->addLayout(listToolbar);

    m_list = new QListView(m_listColumn);
    m_list->setObjectName("deviceListView");
    // Connected before the list takes the model, so that a deleted selection is dropped before
    // the list would pass it on to the next row.
    connect(&m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
        [this](const QModelIndex&, int first, int last) { rowsLeaving(first, last); });
    m_list->setModel(&m_model);
    // Rows are drawn by the delegate, all of one height, so that only the visible ones cost anything.
    m_rows = new DeviceRow(m_list);
    m_list->setItemDelegate(m_rows);
    m_list->setUniformItemSizes(true);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(m_rows, &DeviceRow::clicked, this, &ContentView::selectDevice);
    connect(m_rows, &DeviceRow::requiredWidthChanged, this, &ContentView::fitListColumn);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setMouseTracking(true);
    listLayout->addWidget(m_list);

    // Detail column: the release toolbar above the device or the placeholder.
    auto* detail = new QWidget(m_splitter);
    detail->setObjectName("detailColumn");
    m_detailLayout = new QVBoxLayout(detail);
    m_detailLayout->setContentsMargins(0, 4, 0, 0);
    auto* toolbarRow = new QHBoxLayout();
    toolbarRow->addStretch(1);
    m_toolbar = new OVToolbarView(m_state, detail);
    toolbarRow->addWidget(m_toolbar);
    toolbarRow->addStretch(1);
    m_detailLayout->addLayout(toolbarRow);
    m_placeholder = new QLabel(tr("Please add or select a device"), detail);
    m_placeholder->setObjectName("placeholderLabel");
    m_placeholder->setAlignment(Qt::AlignCenter);
    m_detailLayout->addWidget(m_placeholder, 1);

    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    fitListColumn();
    m_splitter->setSizes({m_listColumn->minimumWidth(), 800});

    applyEditing();
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, &ContentView::applyEditing);
    connect(&m_model, &QAbstractItemModel::modelReset, this, &ContentView::applyEditing);
    connect(&m_model, &QAbstractItemModel::layoutChanged, this, &ContentView::applyEditing);

    // Only the selection says which device is shown, never the current item alone: the list
    // makes its first row current when it gains focus, and that is nobody's choice.
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, &ContentView::followSelection);

    connect(&m_editing, &EditingState::changed, this, &ContentView::applyEditing);
    connect(&Settings::instance(), &Settings::changed, this, [this](const QString& key) {
        if (key == QLatin1String(Settings::SidebarSize))
            relayoutRows();
    });
    connect(m_splitter, &QSplitter::splitterMoved, this, [this] { m_addButton->setVisible(listColumnVisible()); });
    updateDetail();
}

ContentView::~ContentView() = default;

bool ContentView::listColumnVisible() const
{
    return !m_listColumn->isHidden() && m_splitter->sizes().value(0) > 0;
}

void ContentView::setListColumnVisible(bool visible)
{
    m_listColumn->setVisible(visible);
    m_addButton->setVisible(visible);
}

void ContentView::fitListColumn()
{
    // The rows' own width plus the list's frame and its scroll bar, which would otherwise cover
    // the end of the longest address.
    const int frame = 2 * m_list->frameWidth();
    const int scrollBar = m_list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_list);
    const int needed = m_rows->requiredWidth() + frame + scrollBar;
    m_listColumn->setMinimumWidth(qBound(ListColumnWidth, needed, FittedListColumnWidth));
}

void ContentView::relayoutRows()
{
    m_list->doItemsLayout();
    m_list->viewport()->update();
}

void ContentView::applyEditing()
{
    // While a device is edited the list shows no rows, so no other device can be picked.
    const bool editing = m_editing.value();
    for (int row = 0; row < m_model.rowCount(); ++row)
        m_list->setRowHidden(row, editing);
}

void ContentView::setSelectedDevice(Device* device)
{
    if (m_selectedDevice == device)
        return;
    m_selectedDevice = device;
    updateDetail();
}

void ContentView::followSelection()
{
    const QModelIndexList selected = m_list->selectionModel()->selectedIndexes();
    setSelectedDevice(selected.isEmpty() ? nullptr : m_model.deviceAt(selected.first().row()));
}

void ContentView::rowsLeaving(int first, int last)
{
    // A deleted device leaves nothing selected; the list must not pass the selection on to a
    // neighbour that nobody picked.
    const int row = m_model.rowOf(m_selectedDevice);
    if (row < first || row > last)
        return;
    m_list->selectionModel()->clear();
    setSelectedDevice(nullptr);
}

void ContentView::updateDetail()
{
    if (m_deviceView) {
        m_deviceView->hide();
        m_deviceView->deleteLater();
        m_deviceView = nullptr;
    }
    if (m_selectedDevice) {
        m_deviceView = new DeviceView(m_selectedDevice, m_state, m_editing);
        m_detailLayout->addWidget(m_deviceView, 1);
        m_deviceView->show();
        m_placeholder->hide();
    } else {
        m_placeholder->show();
    }
}

void ContentView::selectDevice(Device* device)
{
    if (!device)
        return;
    const int row = m_model.rowOf(device);
    if (row >= 0) {
        m_list->setCurrentIndex(m_model.index(row));
        m_list->setFocus(Qt::MouseFocusReason);
    }
    setSelectedDevice(device);
    if (!Settings::instance().refreshSelected())
        return;
    // The newest refresh replaces the handle without cancelling an older one still running.
    RefreshToggle::start(device);
}
