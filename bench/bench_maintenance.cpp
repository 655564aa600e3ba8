// How long a whole RouterOS upgrade takes when the package is already cached: upload over SFTP,
// restart command, wait for the router to answer again. The two pauses of the wait are set to
// zero, so the figure is the work alone; the production wait adds 2 x 2 seconds to it.
#include "../tests/maintenance/ActionTestHelpers.h"
#include "../tests/maintenance/RouterFixture.h"
#include "maintenance/OVCache.h"
#include "maintenance/OVUpdateRouterOS.h"
#include "support/SshServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

struct UpgradeSetup
{
    QTemporaryDir home {QDir::tempPath() + QStringLiteral("/orvanta bench XXXXXX")};
    std::unique_ptr<RouterFixture> routers;
    SshServer ssh {QStringLiteral("admin"), QStringLiteral("secret")};
    bool ready = false;

    explicit UpgradeSetup(qsizetype packageSize)
    {
        qputenv("HOME", QFile::encodeName(home.path()));
        routers = std::make_unique<RouterFixture>(home.path());
        if (!routers->start() || !ssh.start())
            return;
        routers->device->setSshport(QString::number(ssh.port()));
        const QString path = OVCache::cacheDirectory().value() + QStringLiteral("/7.12/routeros-7.12-arm64.npk");
        QDir().mkpath(QFileInfo(path).absolutePath());
        QByteArray package(packageSize, Qt::Uninitialized);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(package.data()), package.size() / 4);
        QFile file(path);
        QFile marker(path + QStringLiteral(".finished"));
        ready = file.open(QIODevice::WriteOnly) && file.write(package) == package.size()
            && marker.open(QIODevice::WriteOnly);
    }
};

void cachedUpgrade(benchmark::State& state, const QString& method)
{
    UpgradeSetup setup(state.range(0));
    if (!setup.ready) {
        state.SkipWithError("fixtures did not start");
        return;
    }
    setup.routers->useMethod(method);
    for (auto _ : state) {
        OVUpdateRouterOS action(setup.routers->device.data(), QStringLiteral("7.12"), false, QStringLiteral("10"),
            false, QStringLiteral("https://127.0.0.1:1"));
        OVUpdateRouter::Timing timing;
        timing.pause = std::chrono::milliseconds(0);
        action.setTiming(timing);
        const std::optional<ValidateReturn> result = runBounded(action.update(), 60000);
        if (!result || !result->success) {
            state.SkipWithError(result ? qPrintable(result->message) : "no result within 60 s");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_CachedUpgradeRest(benchmark::State& state)
{
    cachedUpgrade(state, QStringLiteral("REST"));
}

void BM_CachedUpgradeApi(benchmark::State& state)
{
    cachedUpgrade(state, QStringLiteral("API"));
}

// 12 MB is the size of a typical arm64 package.
BENCHMARK(BM_CachedUpgradeRest)->Arg(12 << 20)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_CachedUpgradeApi)->Arg(12 << 20)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Orvanta"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvanta"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
