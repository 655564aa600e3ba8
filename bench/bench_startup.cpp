// Start-up to the first drawn main window with 1,000 stored devices; the same, with its resident
// memory, for 1,000, 10,000 and 100,000 devices in a fresh process each; the time from a click on a
// row to its drawn detail with 10,000 devices; and how long the window's event loop goes without
// processing events while a refresh waits on a router that never answers.
#include "app/ContentView.h"
#include "app/OrvantaApp.h"
#include "model/Device.h"
#include "model/PersistenceController.h"
#include "support/FakeApiRouter.h"
#include "support/RouterData.h"
#include "views/DeviceView.h"
#include "widgets/Settings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>

namespace {
QString g_storePath;
QString g_storeFolder;
QString g_program;

class PaintWatcher : public QObject
{
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

void makeStore(const QString& path, int count)
{
    PersistenceController store(path);
    for (int i = 0; i < count; ++i) {
        Device* device = store.insertDevice();
        device->setAddress(QStringLiteral("10.%1.%2.%3").arg(i / 65536).arg(i / 256 % 256).arg(i % 256));
        device->setControlMethod(QStringLiteral("API"));
        device->setModel(QStringLiteral("RB5009UG+S+"));
        device->setPort(QStringLiteral("8729"));
        device->setSsl(true);
        // As a start of the application leaves every stored device: no message.
        device->setError(QString());
    }
    store.saveOrDie();
}

void BM_StartupToFirstPaint(benchmark::State& state)
{
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        PersistenceController store(g_storePath);
        OrvantaApp app(store, QStringLiteral("https://127.0.0.1:9"), QStringLiteral("https://127.0.0.1:9"));
        PaintWatcher watcher;
        app.mainWindow()->installEventFilter(&watcher);
        app.showMainWindow();
        while (!watcher.painted)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        app.mainWindow()->removeEventFilter(&watcher);
    }
}

// A store of `count` devices, made once per size.
QString storeWith(int count)
{
    static QMap<int, QString> stores;
    if (!stores.contains(count)) {
        const QString path = g_storeFolder + QStringLiteral("/devices%1.sqlite").arg(count);
        makeStore(path, count);
        stores.insert(count, path);
    }
    return stores.value(count);
}

// Resident memory of this process in kilobytes ("VmRSS" or "VmHWM" of /proc/self/status).
qint64 memoryKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Child process: opens the store, shows the main window, and prints the milliseconds from the start
// of main() to the first paint of the window and the resident memory then.
int firstPaintChild(const QString& storePath, const QElapsedTimer& sinceMain)
{
    // Where the time goes, on standard error: the store loaded, the window made, the window drawn.
    const qint64 started = sinceMain.nsecsElapsed();
    PersistenceController store(storePath);
    const qint64 loaded = sinceMain.nsecsElapsed();
    OrvantaApp app(store, QStringLiteral("https://127.0.0.1:9"), QStringLiteral("https://127.0.0.1:9"));
    const qint64 made = sinceMain.nsecsElapsed();
    PaintWatcher watcher;
    app.mainWindow()->installEventFilter(&watcher);
    app.showMainWindow();
    while (!watcher.painted)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const qint64 elapsed = sinceMain.nsecsElapsed();
    std::fprintf(stderr, "application %lld ms, store %lld ms, window %lld ms, drawn %lld ms\n",
        static_cast<long long>(started / 1000000), static_cast<long long>((loaded - started) / 1000000),
        static_cast<long long>((made - loaded) / 1000000), static_cast<long long>((elapsed - made) / 1000000));
    std::printf("first-paint %lld %lld %lld\n", static_cast<long long>(elapsed),
        static_cast<long long>(memoryKb("VmRSS:")), static_cast<long long>(memoryKb("VmHWM:")));
    std::fflush(stdout);
    app.mainWindow()->removeEventFilter(&watcher);
    return 0;
}

// First drawn window of a fresh process (as the real binary starts) with state.range(0) devices,
// and its resident memory at that moment.
void BM_FirstDrawnWindow(benchmark::State& state)
{
    const QString path = storeWith(static_cast<int>(state.range(0)));
    double rssMb = 0;
    double peakMb = 0;
    for (auto _ : state) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(g_program, {QStringLiteral("--first-paint"), path});
        if (!child.waitForFinished(600000) || child.exitCode() != 0) {
            state.SkipWithError("the child process failed");
            break;
        }
        const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split('\n').last().split(' ');
        if (fields.size() != 4 || fields.first() != "first-paint") {
            state.SkipWithError("the child process printed no figures");
            break;
        }
        state.SetIterationTime(fields.at(1).toDouble() / 1e9);
        rssMb = fields.at(2).toDouble() / 1024;
        peakMb = fields.at(3).toDouble() / 1024;
    }
    state.counters["rss_mb"] = rssMb;
    state.counters["peak_rss_mb"] = peakMb;
}

// Watches for the first paint of a device view other than the one shown before the click.
class DetailPaintWatcher : public QObject
{
public:
    QPointer<DeviceView> previous;
    bool painted = false;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            auto* view = qobject_cast<DeviceView*>(watched);
            if (view && view != previous)
                painted = true;
        }
        return false;
    }
};

// From a click on a row of the list to the first paint of that device's detail, 10,000 devices.
void BM_ClickToDrawnDetail(benchmark::State& state)
{
    PersistenceController store(storeWith(10000));
    OrvantaApp app(store, QStringLiteral("https://127.0.0.1:9"), QStringLiteral("https://127.0.0.1:9"));
    PaintWatcher firstPaint;
    app.mainWindow()->installEventFilter(&firstPaint);
    app.showMainWindow();
    while (!firstPaint.painted)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    app.mainWindow()->removeEventFilter(&firstPaint);
    auto* content = qobject_cast<ContentView*>(app.mainWindow()->centralWidget());
    QListView* list = content ? content->listView() : nullptr;
    if (!list) {
        state.SkipWithError("no device list");
        return;
    }
    DetailPaintWatcher watcher;
    qApp->installEventFilter(&watcher);
    int row = 1;
    for (auto _ : state) {
        row = row == 1 ? 2 : 1;
        watcher.previous = content->findChild<DeviceView*>();
        watcher.painted = false;
        const QPoint point = list->visualRect(list->model()->index(row, 0)).center();
        // The row's own widget, where there is one, takes the click; otherwise the list does.
        QWidget* target = list->viewport()->childAt(point);
        if (!target)
            target = list->viewport();
        QElapsedTimer timer;
        timer.start();
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(list->viewport(), point));
        while (!watcher.painted)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
    qApp->removeEventFilter(&watcher);
}

// The longest gap between two timer ticks of the main thread while a device refresh waits for a
// silent router: the window must keep drawing and answering.
void BM_EventLoopWhileRouterSilent(benchmark::State& state)
{
    FakeApiRouter router(RouterData::typical());
    router.setReply(QStringLiteral("/system/resource/print"), FakeApiReply::silence());
    router.start();
    for (auto _ : state) {
        QTemporaryDir dir;
        PersistenceController store(dir.filePath("silent.sqlite"));
        Device* device = store.insertDevice();
        device->setAddress(QStringLiteral("127.0.0.1"));
        device->setControlMethod(QStringLiteral("API"));
        device->setPort(QString::number(router.port()));
        device->setUsername(QStringLiteral("admin"));
        device->setPassword(QString());
        bool finished = false;
        auto task = device->refreshDevice(false, QStringLiteral("2"));
        task.then([&finished](const ValidateReturn&) { finished = true; });
        QElapsedTimer sinceTick;
        sinceTick.start();
        qint64 longest = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { longest = std::max(longest, sinceTick.restart()); });
        ticker.start(1);
        while (!finished)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        state.SetIterationTime(static_cast<double>(longest) / 1e3);
        state.counters["longest_gap_ms"] = static_cast<double>(longest);
    }
}
} // namespace

BENCHMARK(BM_StartupToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FirstDrawnWindow)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FirstDrawnWindow)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ClickToDrawnDetail)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_EventLoopWhileRouterSilent)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

int main(int argc, char** argv)
{
    QElapsedTimer sinceMain;
    sinceMain.start();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Orvanta");
    QApplication::setApplicationName("Orvanta");
    if (argc == 3 && qstrcmp(argv[1], "--first-paint") == 0)
        return firstPaintChild(QString::fromLocal8Bit(argv[2]), sinceMain);
    g_program = QCoreApplication::applicationFilePath();
    QTemporaryDir dir;
    g_storeFolder = dir.path();
    g_storePath = dir.filePath("bench.sqlite");
    makeStore(g_storePath, 1000);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
