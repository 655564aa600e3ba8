#include "app/ContentView.h"
#include "app/DeviceRow.h"
#include "model/Device.h"
#include "model/PersistenceController.h"
#include "model/Secrets.h"
#include "support/FakeApiRouter.h"
#include "support/RouterData.h"
#include "support/TestMain.h"
#include "views/DeviceView.h"
#include "widgets/AppState.h"
#include "widgets/Settings.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QListView>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QToolButton>

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

private:
    Device* addDevice(const QString& address, const QString& model = {});
    DeviceRow* rowFor(ContentView& view, const QString& address);
    QStringList shownAddresses(ContentView& view);

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

DeviceRow* TestContentView::rowFor(ContentView& view, const QString& address)
{
    for (DeviceRow* row : view.findChildren<DeviceRow*>()) {
        if (row->device() && row->device()->address() == address)
            return row;
    }
    return nullptr;
}

QStringList TestContentView::shownAddresses(ContentView& view)
{
    QStringList addresses;
    QListView* list = view.listView();
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        if (list->isRowHidden(row))
            continue;
        auto* widget = qobject_cast<DeviceRow*>(list->indexWidget(list->model()->index(row, 0)));
        if (widget)
            addresses << widget->findChild<QLabel*>("addressLabel")->text();
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
    DeviceRow* row = rowFor(view, "10.0.0.5");
    QVERIFY(row);
    QTest::mouseClick(row, Qt::LeftButton);
    QCOMPARE(view.selectedDevice(), device);
    QCOMPARE(view.selectedDeviceHealth().size(), 1);
    QCOMPARE(view.selectedDeviceHealth().first().name, QStringLiteral("voltage"));
    QVERIFY(!device->refreshing());
    QCOMPARE(device->error(), std::optional<QString>("old message"));
    QVERIFY(view.findChild<DeviceView*>());
    QVERIFY(!view.findChild<QLabel*>("placeholderLabel")->isVisible());

    // A health text that is not JSON is printed and leaves the list as it was.
    Device* broken = addDevice("10.0.0.6");
    broken->setHealth(QStringLiteral("not json"));
    QTest::mouseClick(rowFor(view, "10.0.0.6"), Qt::LeftButton);
    QCOMPARE(view.selectedDevice(), broken);
    QCOMPARE(view.selectedDeviceHealth().size(), 1);
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

    QTest::mouseClick(rowFor(view, "127.0.0.1"), Qt::LeftButton);
    QVERIFY(good->refreshing());
    QVERIFY(good->refreshTask());
    QTRY_VERIFY_WITH_TIMEOUT(!good->refreshing(), 15000);
    QCOMPARE(good->error(), std::optional<QString>(QString()));
    QCOMPARE(good->model(), std::optional<QString>("RB5009UG+S+"));
    QCOMPARE(view.selectedDeviceHealth().size(), 4);

    // A refused connection can fail before the click returns, so only the outcome is checked here.
    QTest::mouseClick(rowFor(view, "localhost"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!unreachable->refreshing(), 15000);
    QVERIFY(!unreachable->error().value_or(QString()).isEmpty());
    QVERIFY(!unreachable->lastupdated().has_value());
    // The failed device has no readings; the list now shows its (empty) health.
    QCOMPARE(view.selectedDeviceHealth().size(), 0);
    Settings::instance().setRefreshSelected(false);
}

void TestContentView::rowSizesFollowTheSetting()
{
    addDevice("10.0.0.7", "hAP ax3");
    addDevice("10.0.0.8");
    ContentView view(m_state, *m_store);
    view.show();
    DeviceRow* row = rowFor(view, "10.0.0.7");
    auto* picture = row->findChild<QLabel*>("pictureLabel");
    auto* model = row->findChild<QLabel*>("modelLabel");
    QCOMPARE(picture->width(), 40);
    QCOMPARE(model->text(), QStringLiteral("hAP ax3"));
    QCOMPARE(rowFor(view, "10.0.0.8")->findChild<QLabel*>("modelLabel")->text(), QStringLiteral("Unknown Model"));

    Settings::instance().setSidebarSize("Small");
    QVERIFY(!picture->isVisible());
    QVERIFY(!model->isVisible());
    Settings::instance().setSidebarSize("Medium");
    QCOMPARE(picture->width(), 25);
    QVERIFY(model->isVisible());
    Settings::instance().setSidebarSize("Huge");
    QCOMPARE(picture->width(), 40);
    Settings::instance().setSidebarSize("Large");
}

void TestContentView::deleteRemovesEveryDeviceWithThatAddress()
{
    addDevice("10.0.0.9");
    addDevice("10.0.0.9");
    addDevice("10.0.0.99");
    ContentView view(m_state, *m_store);
    view.show();
    DeviceRow* row = rowFor(view, "10.0.0.9");
    row->deleteDevice();
    QTRY_COMPARE(shownAddresses(view), QStringList({"10.0.0.99"}));
    QCOMPARE(m_store->devices().size(), 1);

    PersistenceController reopened(m_store->databasePath());
    QCOMPARE(reopened.devices().size(), 1);
}

void TestContentView::deleteButtonOnlyWhileHoveredAndNotUpgrading()
{
    Device* device = addDevice("10.0.0.11");
    ContentView view(m_state, *m_store);
    view.show();
    DeviceRow* row = rowFor(view, "10.0.0.11");
    auto* button = row->findChild<QToolButton*>("deleteButton");
    QVERIFY(!button->isVisible());
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(row, &enter);
    QVERIFY(button->isVisible());
    QCOMPARE(button->toolTip(), QStringLiteral("Delete device"));
    device->setRebooting(true);
    QVERIFY(button->isVisible());
    device->setUpgradingRouterOS(true);
    QVERIFY(!button->isVisible());
    device->setUpgradingRouterOS(false);
    device->setUpgradingRouterBOOT(true);
    QVERIFY(!button->isVisible());
    device->setUpgradingRouterBOOT(false);
    QVERIFY(button->isVisible());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(row, &leave);
    QVERIFY(!button->isVisible());
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

ORVANTA_WIDGET_TEST_MAIN(TestContentView)
#include "tst_contentview.moc"
