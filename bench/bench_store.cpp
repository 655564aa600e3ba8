#include "model/Device.h"
#include "model/PersistenceController.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {
constexpr int deviceCount = 1000;

// A store file holding `deviceCount` refreshed devices.
QString makeStore(const QTemporaryDir& dir)
{
    const QString file = dir.filePath(QStringLiteral("bench.sqlite"));
    PersistenceController store(file);
    for (int i = 0; i < deviceCount; ++i) {
        Device* d = store.insertDevice();
        d->setAddress(QStringLiteral("10.0.%1.%2").arg(i / 250).arg(i % 250));
        d->setUsername(QStringLiteral("admin"));
        d->setPassword(QStringLiteral("q83vEjRWeJBLm3rX8X2zWA=="));
        d->setPort(QStringLiteral("8729"));
        d->setSshport(QStringLiteral("22"));
        d->setControlMethod(QStringLiteral("API"));
        d->setSsl(true);
        d->setModel(QStringLiteral("RB5009UG+S+"));
        d->setArch(QStringLiteral("arm64"));
        d->setCpuCount(QStringLiteral("4"));
        d->setCpuLoad(QStringLiteral("12"));
        d->setMemoryFree(QStringLiteral("805306368"));
        d->setMemoryTotal(QStringLiteral("1073741824"));
        d->setDiskFree(QStringLiteral("939524096"));
        d->setDiskTotal(QStringLiteral("1073741824"));
        d->setVersionRouterOS(QStringLiteral("7.12"));
        d->setCurrentRouterBOOT(QStringLiteral("7.11"));
        d->setUpgradeRouterBOOT(QStringLiteral("7.12"));
        d->setHealth(QStringLiteral(R"([{".id": "*D", "name": "voltage", "type": "V", "value": "24"}])"));
        d->setError(QString());
        d->setLastupdated(QDateTime::currentDateTime());
    }
    if (!store.save())
        qFatal("bench store could not be written");
    return file;
}

void BM_OpenAndLoad(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString file = makeStore(dir);
    for (auto _ : state) {
        PersistenceController store(file);
        benchmark::DoNotOptimize(store.devices().size());
        if (store.devices().size() != deviceCount)
            state.SkipWithError("wrong number of devices loaded");
    }
    state.counters["devices"] = deviceCount;
}
BENCHMARK(BM_OpenAndLoad)->Unit(benchmark::kMillisecond);

void BM_SaveAfterChangingOne(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString file = makeStore(dir);
    PersistenceController store(file);
    Device* d = store.devices().at(deviceCount / 2);
    int round = 0;
    for (auto _ : state) {
        d->setCpuLoad(QString::number(++round));
        if (!store.save())
            state.SkipWithError("save failed");
    }
    state.counters["devices"] = deviceCount;
}
BENCHMARK(BM_SaveAfterChangingOne)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
