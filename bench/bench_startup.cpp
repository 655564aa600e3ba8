// Start-up to the first drawn main window with 1,000 stored devices, and how long the window's
// event loop goes without processing events while a refresh waits on a router that never answers.
#include "app/ContentView.h"
#include "app/OrvantaApp.h"
#include "model/Device.h"
#include "model/PersistenceController.h"
#include "support/FakeApiRouter.h"
#include "support/RouterData.h"
#include "widgets/Settings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {
QString g_storePath;

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

void makeStore(int count)
{
    PersistenceController store(g_storePath);
    for (int i = 0; i < count; ++i) {
        Device* device = store.insertDevice();
        device->setAddress(QStringLiteral("10.%1.%2.1").arg(i / 256).arg(i % 256));
        device->setControlMethod(QStringLiteral("API"));
        device->setModel(QStringLiteral("RB5009UG+S+"));
        device->setPort(QStringLiteral("8729"));
        device->setSsl(true);
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
BENCHMARK(BM_EventLoopWhileRouterSilent)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Orvanta");
    QApplication::setApplicationName("Orvanta");
    QTemporaryDir dir;
    g_storePath = dir.filePath("bench.sqlite");
    makeStore(1000);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
