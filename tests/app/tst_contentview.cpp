#include "app/ContentView.h"
#include "app/DeviceRow.h"
#include "model/Device.h"
#include "model/DeviceListModel.h"
#include "model/PersistenceController.h"
#include "model/Secrets.h"
#include "support/FakeApiRouter.h"
#include "support/RouterData.h"
#include "support/RouterDevice.h"
#include "support/StdoutCapture.h"
#include "support/TestMain.h"
#include "views/DeviceView.h"
#include "views/DeviceViewInfo.h"
#include "widgets/AppState.h"
#include "widgets/OVButton.h"
#include "widgets/Settings.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QLabel>
#include <QListView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QToolButton>
#include <QToolTip>

class TestContentView : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void emptyStoreShowsPlaceholderAndAddButton();
    void listIsSortedAsPlainTextAndFollowsTheStore();
    void clickSelectsWithoutRefreshWhenSettingIsOff();
    void refreshOnSelectEndsWithTheRoutersAnswer();
    void rowSizesFollowTheSetting();
    void deleteRemovesEveryDeviceWithThatAddress();
    void deleteButtonOnlyWhileHoveredAndNotUpgrading();
    void editingEmptiesTheList();
    void healthFollowsTheShownDevice();
    void arrowKeysShowTheOtherDevicesReadings();
    void deletingTheSelectedDeviceLeavesNothingSelected();
    void focusAloneSelectsNothing();
    void anOlderRefreshLeavesTheNewerOneAlone_data();
    void anOlderRefreshLeavesTheNewerOneAlone();
    void listColumnFitsTheLongestAddress();

private:
    Device* addDevice(const QString& address, const QString& model = {});
    static QModelIndex rowFor(ContentView& view, const QString& address);
    static DeviceRow* rows(ContentView& view);
    static DeviceRow::Layout layoutOf(ContentView& view, const QModelIndex& index);
    static void clickAt(ContentView& view, const QPoint& point);
    static void clickRow(ContentView& view, const QString& address);
    static void pointAt(ContentView& view, const QPoint& point);
    static void clickDevice(ContentView& view, const Device* device);
    static QStringList shownAddresses(ContentView& view);
    static QStringList shownHealth(ContentView& view);
    static OVButton* shownButton(ContentView& view, const char* name);

    QTemporaryDir m_dir;
    std::unique_ptr<PersistenceController> m_store;
    AppState m_state;
    int m_counter = 0;
};

void TestContentView::init()
{
    m_store = std::make_unique<PersistenceController>(m_dir.filePath(QString("store%1.sqlite").arg(++m_counter)));
    Settings::instance().setRefreshSelected(false);
    Settings::instance().setSidebarSize("Large");
}

void TestContentView::cleanup()
{
    m_store.reset();
}

Device* TestContentView::addDevice(const QString& address, const QString& model)
{
    Device* device = m_store->insertDevice();
    device->setAddress(address);
    if (!model.isEmpty())
        device->setModel(model);
    device->setControlMethod(QStringLiteral("API"));
    m_store->saveOrDie();
    return device;
}

QModelIndex TestContentView::rowFor(ContentView& view, const QString& address)
{
    QAbstractItemModel* model = view.listView()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        if (index.data(Qt::AccessibleTextRole).toString() == address)
            return index;
    }
    return {};
}

DeviceRow* TestContentView::rows(ContentView& view)
{
    return qobject_cast<DeviceRow*>(view.listView()->itemDelegate());
}

DeviceRow::Layout TestContentView::layoutOf(ContentView& view, const QModelIndex& index)
{
    return rows(view)->layout(view.listView()->visualRect(index), index);
}

void TestContentView::clickAt(ContentView& view, const QPoint& point)
{
    QTest::mouseClick(view.listView()->viewport(), Qt::LeftButton, {}, point);
}

void TestContentView::clickRow(ContentView& view, const QString& address)
{
    const QModelIndex index = rowFor(view, address);
    QVERIFY(index.isValid());
    clickAt(view, view.listView()->visualRect(index).center());
}

void TestContentView::pointAt(ContentView& view, const QPoint& point)
{
    QWidget* viewport = view.listView()->viewport();
    QMouseEvent move(QEvent::MouseMove, point, viewport->mapToGlobal(point), Qt::NoButton, Qt::NoButton, {});
    QApplication::sendEvent(viewport, &move);
}

void TestContentView::clickDevice(ContentView& view, const Device* device)
{
    QVERIFY(device && device->address().has_value());
    clickRow(view, device->address().value());
}

// The health lines the detail pane shows now (a pane being replaced is hidden at once).
QStringList TestContentView::shownHealth(ContentView& view)
{
    // What a person sees once the window has drawn again.
    QCoreApplication::processEvents();
    QStringList lines;
    for (QLabel* label : view.findChildren<QLabel*>("healthTextLabel")) {
        if (label->isVisibleTo(&view))
            lines << label->text();
    }
    return lines;
}

OVButton* TestContentView::shownButton(ContentView& view, const char* name)
{
    QCoreApplication::processEvents();
    for (OVButton* button : view.findChildren<OVButton*>(QString::fromLatin1(name))) {
        if (button->isVisibleTo(&view))
            return button;
    }
    return nullptr;
}

// The rows the list shows, by the address each draws (the text it also gives screen readers).
QStringList TestContentView::shownAddresses(ContentView& view)
{
    QStringList addresses;
    QListView* list = view.listView();
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        if (list->isRowHidden(row))
            continue;
        const QModelIndex index = list->model()->index(row, 0);
        if (!layoutOf(view, index).address.isEmpty())
            addresses << index.data(Qt::AccessibleTextRole).toString();
    }
    return addresses;
}

void TestContentView::emptyStoreShowsPlaceholderAndAddButton()
{
    ContentView view(m_state, *m_store);
    view.show();
    QVERIFY(view.findChild<QLabel*>("placeholderLabel")->isVisible());
    QCOMPARE(view.findChild<QLabel*>("placeholderLabel")->text(), QStringLiteral("Please add or select a device"));
    auto* add = view.findChild<QToolButton*>("addDeviceButton");
    QVERIFY(add && add->isVisible());
    QTest::mouseClick(add, Qt::LeftButton);
    QVERIFY(m_state.showAddDevice());
    m_state.setShowAddDevice(false);

    view.setListColumnVisible(false);
    QVERIFY(!add->isVisible());
    view.setListColumnVisible(true);
    QVERIFY(add->isVisible());
}

void TestContentView::listIsSortedAsPlainTextAndFollowsTheStore()
{
    addDevice("10.0.0.2");
    addDevice("10.0.0.10");
    addDevice("router.lan");
    ContentView view(m_state, *m_store);
    QAbstractItemModelTester tester(&view.model());
    view.show();
    QCOMPARE(shownAddresses(view), QStringList({"10.0.0.10", "10.0.0.2", "router.lan"}));

    Device* added = addDevice("10.0.0.1");
    QCOMPARE(shownAddresses(view), QStringList({"10.0.0.1", "10.0.0.10", "10.0.0.2", "router.lan"}));
    added->setAddress(QStringLiteral("Zeta"));
    QCOMPARE(shownAddresses(view), QStringList({"10.0.0.10", "10.0.0.2", "Zeta", "router.lan"}));
}

void TestContentView::clickSelectsWithoutRefreshWhenSettingIsOff()
{
    Device* device = addDevice("10.0.0.5", "RB5009UG+S+");
    device->setHealth(QStringLiteral(R"([{".id":"*1","name":"voltage","type":"V","value":"24"}])"));
    device->setError(QStringLiteral("old message"));
    ContentView view(m_state, *m_store);
    view.show();
    clickRow(view, "10.0.0.5");
    QCOMPARE(view.selectedDevice(), device);
    QCOMPARE(shownHealth(view), QStringList {"Voltage: 24 V"});
    QVERIFY(!device->refreshing());
    QCOMPARE(device->error(), std::optional<QString>("old message"));
    QVERIFY(view.findChild<DeviceView*>());
    QVERIFY(!view.findChild<QLabel*>("placeholderLabel")->isVisible());

    // A health text that is not JSON is printed; the device shows no readings, not the last
    // device's.
    Device* broken = addDevice("10.0.0.6");
    broken->setHealth(QStringLiteral("not json"));
    StdoutCapture capture;
    clickRow(view, "10.0.0.6");
    const QString printed = capture.text();
    capture.restore();
    QCOMPARE(view.selectedDevice(), broken);
    QVERIFY(!printed.isEmpty());
    QVERIFY(shownHealth(view).isEmpty());
}

void TestContentView::refreshOnSelectEndsWithTheRoutersAnswer()
{
    FakeApiRouter router(RouterData::typical());
    QVERIFY(router.start());
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 closedPort = closed.serverPort();
    closed.close();

    Device* good = addDevice("127.0.0.1");
    good->setUsername(QStringLiteral("admin"));
    good->setPassword(QCoro::waitFor(Secrets::encrypt(QStringLiteral("secret"))));
    good->setPort(QString::number(router.port()));
    good->setError(QStringLiteral("old message"));
    Device* unreachable = addDevice("localhost");
    unreachable->setUsername(QStringLiteral("admin"));
    unreachable->setPassword(QCoro::waitFor(Secrets::encrypt(QStringLiteral("secret"))));
    unreachable->setPort(QString::number(closedPort));
    m_store->saveOrDie();

    Settings::instance().setRefreshSelected(true);
    ContentView view(m_state, *m_store);
    view.show();

    clickRow(view, "127.0.0.1");
    QVERIFY(good->refreshing());
    QVERIFY(good->refreshTask());
    QTRY_VERIFY_WITH_TIMEOUT(!good->refreshing(), 15000);
    QCOMPARE(good->error(), std::optional<QString>(QString()));
    QCOMPARE(good->model(), std::optional<QString>("RB5009UG+S+"));
    QCOMPARE(shownHealth(view).size(), 4);
    QVERIFY(shownHealth(view).contains("CPU temperature: 45 C"));

    // A refused connection can fail before the click returns, so only the outcome is checked here.
    clickRow(view, "localhost");
    QTRY_VERIFY_WITH_TIMEOUT(!unreachable->refreshing(), 15000);
    QVERIFY(!unreachable->error().value_or(QString()).isEmpty());
    QVERIFY(!unreachable->lastupdated().has_value());
    // The failed device has no readings; the pane shows its (empty) health.
    QVERIFY(shownHealth(view).isEmpty());
    Settings::instance().setRefreshSelected(false);
}

void TestContentView::rowSizesFollowTheSetting()
{
    addDevice("10.0.0.7", "hAP ax3");
    addDevice("10.0.0.8");
    ContentView view(m_state, *m_store);
    view.show();
    const QModelIndex row = rowFor(view, "10.0.0.7");
    QCOMPARE(layoutOf(view, row).picture.width(), 40);
    QVERIFY(!layoutOf(view, row).model.isEmpty());
    QCOMPARE(row.data(Qt::AccessibleDescriptionRole).toString(), QStringLiteral("hAP ax3"));
    QCOMPARE(rowFor(view, "10.0.0.8").data(Qt::AccessibleDescriptionRole).toString(), QStringLiteral("Unknown Model"));
    QCOMPARE(layoutOf(view, row).addressFont.pointSize(), 17);

    Settings::instance().setSidebarSize("Small");
    QVERIFY(layoutOf(view, row).picture.isEmpty());
    QVERIFY(layoutOf(view, row).model.isEmpty());
    QCOMPARE(layoutOf(view, row).addressFont.pointSize(), 15);
    Settings::instance().setSidebarSize("Medium");
    QCOMPARE(layoutOf(view, row).picture.width(), 25);
    QVERIFY(!layoutOf(view, row).model.isEmpty());
    QCOMPARE(layoutOf(view, row).addressFont.pointSize(), 15);
    Settings::instance().setSidebarSize("Huge");
    QCOMPARE(layoutOf(view, row).picture.width(), 40);
    Settings::instance().setSidebarSize("Large");

    // Screen readers get what the rows show.
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(view.listView());
    QVERIFY(list && list->childCount() >= 2);
    QStringList names;
    QStringList descriptions;
    for (int i = 0; i < list->childCount(); ++i) {
        names << list->child(i)->text(QAccessible::Name);
        descriptions << list->child(i)->text(QAccessible::Description);
    }
    QVERIFY2(names.contains("10.0.0.7") && names.contains("10.0.0.8"), qPrintable(names.join(", ")));
    QVERIFY2(descriptions.contains("hAP ax3") && descriptions.contains("Unknown Model"),
        qPrintable(descriptions.join(", ")));

    // The row draws its picture and its address where the layout puts them.
    const QImage drawn = view.listView()->viewport()->grab().toImage();
    auto inked = [&drawn](const QRect& area) {
        const QColor background = drawn.pixelColor(area.topLeft() - QPoint(1, 1));
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (drawn.pixelColor(x, y) != background)
                    return true;
            }
        }
        return false;
    };
    QVERIFY(inked(layoutOf(view, row).picture));
    QVERIFY(inked(layoutOf(view, row).address));
}

void TestContentView::deleteRemovesEveryDeviceWithThatAddress()
{
    addDevice("10.0.0.9");
    addDevice("10.0.0.9");
    addDevice("10.0.0.99");
    ContentView view(m_state, *m_store);
    view.show();
    DeviceRow::deleteDevice(rowFor(view, "10.0.0.9").data(DeviceListModel::DeviceRole).value<Device*>());
    QTRY_COMPARE(shownAddresses(view), QStringList({"10.0.0.99"}));
    QCOMPARE(m_store->devices().size(), 1);

    PersistenceController reopened(m_store->databasePath());
    QCOMPARE(reopened.devices().size(), 1);
}

void TestContentView::deleteButtonOnlyWhileHoveredAndNotUpgrading()
{
    Device* device = addDevice("10.0.0.11");
    addDevice("10.0.0.12");
    ContentView view(m_state, *m_store);
    view.show();
    const QModelIndex row = rowFor(view, "10.0.0.11");
    const QRect rowRect = view.listView()->visualRect(row);
    auto shown = [&] { return !layoutOf(view, row).deleteButton.isEmpty(); };
    QVERIFY(!shown());
    pointAt(view, rowRect.topLeft() + QPoint(5, 5));
    QVERIFY(shown());
    QVERIFY(rowRect.contains(layoutOf(view, row).deleteButton));
    QVERIFY(layoutOf(view, row).address.right() < layoutOf(view, row).deleteButton.left());
    const QPoint onButton = layoutOf(view, row).deleteButton.center();
    QHelpEvent help(QEvent::ToolTip, onButton, view.listView()->viewport()->mapToGlobal(onButton));
    QApplication::sendEvent(view.listView()->viewport(), &help);
    QTRY_COMPARE(QToolTip::text(), QStringLiteral("Delete device"));
    device->setRebooting(true);
    QVERIFY(shown());
    device->setUpgradingRouterOS(true);
    QVERIFY(!shown());
    device->setUpgradingRouterOS(false);
    device->setUpgradingRouterBOOT(true);
    QVERIFY(!shown());
    device->setUpgradingRouterBOOT(false);
    QVERIFY(shown());
    // Moving to the next row takes the control with it; leaving the list hides it.
    pointAt(view, view.listView()->visualRect(rowFor(view, "10.0.0.12")).center());
    QVERIFY(!shown());
    QVERIFY(!layoutOf(view, rowFor(view, "10.0.0.12")).deleteButton.isEmpty());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view.listView()->viewport(), &leave);
    QVERIFY(layoutOf(view, rowFor(view, "10.0.0.12")).deleteButton.isEmpty());

    // A click on the control deletes the device without selecting it; a click beside it selects.
    pointAt(view, rowRect.center());
    clickAt(view, layoutOf(view, row).deleteButton.center());
    QTRY_COMPARE(shownAddresses(view), QStringList({"10.0.0.12"}));
    QCOMPARE(m_store->devices().size(), 1);
    QVERIFY(!view.selectedDevice());
}

void TestContentView::editingEmptiesTheList()
{
    addDevice("10.0.0.12");
    addDevice("10.0.0.13");
    ContentView view(m_state, *m_store);
    view.show();
    view.editing().setValue(true);
    QVERIFY(shownAddresses(view).isEmpty());
    view.editing().setValue(false);
    QCOMPARE(shownAddresses(view), QStringList({"10.0.0.12", "10.0.0.13"}));
}

void TestContentView::healthFollowsTheShownDevice()
{
    FakeApiRouter router(RouterData::typical());
    QVERIFY(router.start());
    Device* first = RouterDevice::insert(*m_store, QStringLiteral("API"), router.port());
    Device* second = addDevice("10.0.0.20");
    second->setHealth(QStringLiteral(R"([{".id":"*1","name":"voltage","type":"V","value":"24"}])"));
    m_store->saveOrDie();
    ContentView view(m_state, *m_store);
    view.show();

    // Start a refresh from the first device's panel and pick the second before it ends.
    clickDevice(view, first);
    QVERIFY(shownHealth(view).isEmpty());
    QTest::mouseClick(shownButton(view, "refreshButton"), Qt::LeftButton);
    clickDevice(view, second);
    QCOMPARE(view.selectedDevice(), second);
    QTRY_VERIFY_WITH_TIMEOUT(!first->refreshing(), 15000);
    QCOMPARE(first->healthArray().size(), 4);
    QCOMPARE(shownHealth(view), QStringList {"Voltage: 24 V"});

    // Back on the first device its own, new readings show.
    clickDevice(view, first);
    QCOMPARE(shownHealth(view).size(), 4);
    QVERIFY(shownHealth(view).contains("CPU temperature: 45 C"));
}

void TestContentView::arrowKeysShowTheOtherDevicesReadings()
{
    Device* first = addDevice("10.0.0.21");
    first->setHealth(QStringLiteral(R"([{".id":"*1","name":"cpu-temperature","type":"C","value":"45"}])"));
    Device* second = addDevice("10.0.0.22");
    second->setHealth(QStringLiteral(R"([{".id":"*1","name":"fan1-speed","type":"RPM","value":"1200"}])"));
    m_store->saveOrDie();
    ContentView view(m_state, *m_store);
    view.show();
    view.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&view));

    clickDevice(view, first);
    QCOMPARE(shownHealth(view), QStringList {"CPU temperature: 45 C"});
    // The click gave the list the keyboard, so the arrow keys go on from the clicked row.
    QCOMPARE(QApplication::focusWidget(), view.listView());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(view.selectedDevice(), second);
    QCOMPARE(shownHealth(view), QStringList {"Fan1 speed: 1200 RPM"});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    QCOMPARE(view.selectedDevice(), first);
    QCOMPARE(shownHealth(view), QStringList {"CPU temperature: 45 C"});
    // The keys only show the device: no refresh starts.
    QVERIFY(!first->refreshing() && !second->refreshing());
}

void TestContentView::deletingTheSelectedDeviceLeavesNothingSelected()
{
    addDevice("10.0.0.31");
    Device* middle = addDevice("10.0.0.32");
    middle->setHealth(QStringLiteral(R"([{".id":"*1","name":"voltage","type":"V","value":"24"}])"));
    Device* last = addDevice("10.0.0.33");
    m_store->saveOrDie();
    ContentView view(m_state, *m_store);
    view.show();

    clickDevice(view, middle);
    QCOMPARE(shownHealth(view), QStringList {"Voltage: 24 V"});
    const QModelIndex row = rowFor(view, "10.0.0.32");
    pointAt(view, view.listView()->visualRect(row).center());
    clickAt(view, layoutOf(view, row).deleteButton.center());

    QTRY_COMPARE(shownAddresses(view), QStringList({"10.0.0.31", "10.0.0.33"}));
    QCOMPARE(view.selectedDevice(), nullptr);
    QVERIFY(!view.listView()->selectionModel()->hasSelection());
    QVERIFY(view.findChild<QLabel*>("placeholderLabel")->isVisibleTo(&view));
    QVERIFY(shownHealth(view).isEmpty());
    QVERIFY(!shownButton(view, "refreshButton"));
    QVERIFY(last->address().has_value());
}

void TestContentView::focusAloneSelectsNothing()
{
    addDevice("10.0.0.41");
    addDevice("10.0.0.42");
    ContentView view(m_state, *m_store);
    view.show();
    view.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&view));

    view.listView()->setFocus(Qt::TabFocusReason);
    QVERIFY(view.listView()->hasFocus());
    QCOMPARE(view.selectedDevice(), nullptr);
    QVERIFY(!view.listView()->selectionModel()->hasSelection());
    QVERIFY(view.findChild<QLabel*>("placeholderLabel")->isVisibleTo(&view));
    QVERIFY(!view.findChild<DeviceView*>());

    // Moving on from there with the keys is a choice: the row the key lands on is shown.
    QTest::keyClick(view.listView(), Qt::Key_Down);
    QVERIFY(view.selectedDevice());
}

void TestContentView::anOlderRefreshLeavesTheNewerOneAlone_data()
{
    QTest::addColumn<bool>("cancelled");
    QTest::newRow("cancelled from the panel") << true;
    QTest::newRow("selected again") << false;
}

void TestContentView::anOlderRefreshLeavesTheNewerOneAlone()
{
    QFETCH(bool, cancelled);
    // A router that takes connections and answers nothing until the test lets each one go.
    QTcpServer router;
    QVERIFY(router.listen(QHostAddress::LocalHost));
    QList<QTcpSocket*> connections;
    connect(&router, &QTcpServer::newConnection, &router, [&] {
        while (QTcpSocket* socket = router.nextPendingConnection())
            connections << socket;
    });
    Device* device = RouterDevice::insert(*m_store, QStringLiteral("API"), router.serverPort());
    m_store->saveOrDie();
    Settings::instance().setRestApiTimeout(QStringLiteral("30"));
    Settings::instance().setRefreshSelected(!cancelled);
    ContentView view(m_state, *m_store);
    view.show();

    clickDevice(view, device);
    if (cancelled)
        QTest::mouseClick(shownButton(view, "refreshButton"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(connections.size(), 1, 15000);
    if (cancelled) {
        OVButton* toggle = shownButton(view, "refreshButton");
        QCOMPARE(toggle->text(), QStringLiteral("Cancel Refresh"));
        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(!device->refreshing());
        QTest::mouseClick(toggle, Qt::LeftButton);
    } else {
        clickDevice(view, device);
    }
    QVERIFY(device->refreshing());
    QTRY_COMPARE_WITH_TIMEOUT(connections.size(), 2, 15000);

    // The older refresh fails now, while the newer one still waits for its answer.
    StdoutCapture capture;
    connections.first()->abort();
    // A refresh that was only superseded ends without a trace, so that case waits a while.
    [[maybe_unused]] const bool ended = QTest::qWaitFor(
        [&] { return !device->refreshing() || capture.text().contains(QStringLiteral("CancellationError()")); },
        cancelled ? 15000 : 2000);
    const QString printed = capture.text();
    capture.restore();
    QVERIFY2(device->refreshing(), qPrintable(printed));
    QVERIFY2(device->error().value_or(QString()).isEmpty(), qPrintable(device->error().value_or(QString())));
    QCOMPARE(view.findChild<DeviceViewInfo*>()->statusText(), QStringLiteral("Refreshing device information..."));
    QCOMPARE(shownButton(view, "refreshButton")->text(), QStringLiteral("Cancel Refresh"));

    // The newer one ends the way its own answer says.
    connections.last()->abort();
    QTRY_VERIFY_WITH_TIMEOUT(!device->refreshing(), 15000);
    QVERIFY(!device->error().value_or(QString()).isEmpty());
    QCOMPARE(view.findChild<DeviceViewInfo*>()->statusText(), device->error().value());
    Settings::instance().setRefreshSelected(false);
    Settings::instance().setRestApiTimeout(QStringLiteral("10"));
}

void TestContentView::listColumnFitsTheLongestAddress()
{
    // Enough rows for a scroll bar, and the longest address of them at the "Large" size: even with
    // the delete control shown, the address is drawn whole beside the scroll bar.
    for (int i = 60; i <= 100; ++i)
        addDevice(QStringLiteral("10.0.0.%1").arg(i));
    ContentView view(m_state, *m_store);
    view.resize(900, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QListView* list = view.listView();
    QTRY_VERIFY(list->verticalScrollBar()->isVisible());
    const QModelIndex row = rowFor(view, "10.0.0.100");
    QVERIFY(row.isValid());
    list->scrollTo(row);
    pointAt(view, list->visualRect(row).center());
    const DeviceRow::Layout parts = layoutOf(view, row);
    QVERIFY(!parts.deleteButton.isEmpty());
    QVERIFY2(QFontMetrics(parts.addressFont).horizontalAdvance(QStringLiteral("10.0.0.100")) <= parts.address.width(),
        qPrintable(QString::number(parts.address.width())));
    QVERIFY2(parts.deleteButton.right() < list->viewport()->width(),
        qPrintable(QStringLiteral("%1 %2 %3")
                       .arg(parts.deleteButton.right())
                       .arg(list->viewport()->width())
                       .arg(list->visualRect(row).width())));

    // A longer name added later widens the column as well.
    const int before = view.findChild<QWidget*>("listColumn")->minimumWidth();
    addDevice(QStringLiteral("router.example.lan"));
    QVERIFY(view.findChild<QWidget*>("listColumn")->minimumWidth() > before);
}

ORVANTA_WIDGET_TEST_MAIN(TestContentView)
#include "tst_contentview.moc"
