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
#include <QPainter>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
// Rows are DeviceRow widgets laid over the list's items; the delegate only gives each item the
// row's height and draws the selection behind it.
class DeviceRowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        Q_UNUSED(index)
        const QString size = Settings::instance().sidebarSize();
        const int height = size == QLatin1String("Small") ? 30 : (size == QLatin1String("Medium") ? 42 : 56);
        return QSize(option.rect.width(), height);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        Q_UNUSED(index)
        if (option.state & QStyle::State_Selected)
            painter->fillRect(option.rect, option.palette.highlight());
    }
};
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
    m_listColumn->setMinimumWidth(190);
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
    m_list->setItemDelegate(new DeviceRowDelegate(m_list));
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
    m_splitter->setSizes({190, 800});

    makeRows(0, m_model.rowCount() - 1);
    connect(&m_model, &QAbstractItemModel::rowsInserted, this,
        [this](const QModelIndex&, int first, int last) { makeRows(first, last); });
    connect(&m_model, &QAbstractItemModel::modelReset, this, [this] { makeRows(0, m_model.rowCount() - 1); });
    connect(&m_model, &QAbstractItemModel::layoutChanged, this, [this] { makeRows(0, m_model.rowCount() - 1); });

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

void ContentView::makeRows(int first, int last)
{
    for (int row = first; row <= last && row < m_model.rowCount(); ++row) {
        const QModelIndex index = m_model.index(row);
        if (m_list->indexWidget(index))
            continue;
        auto* rowWidget = new DeviceRow(m_model.deviceAt(row));
        connect(rowWidget, &DeviceRow::clicked, this, &ContentView::selectDevice);
        m_list->setIndexWidget(index, rowWidget);
    }
    applyEditing();
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
