// How long a whole RouterOS upgrade takes when the package is already cached (upload over SFTP,
// restart command, wait for the router to answer again) and when it is first fetched from a local
// HTTPS download server into the cache. The two pauses of the wait are set to zero, so the figure
// is the work alone; the production wait adds 2 x 2 seconds to it.
#include "../tests/maintenance/ActionTestHelpers.h"
#include "../tests/maintenance/RouterFixture.h"
#include "maintenance/OVCache.h"
#include "maintenance/OVUpdateRouterOS.h"
#include "support/HttpsServer.h"
#include "support/SshServer.h"
#include "support/TestCertificates.h"

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
    TestCertificates certificates;
    std::unique_ptr<HttpsServer> vendor;
    QString path;
    QByteArray package;
    bool ready = false;

    explicit UpgradeSetup(qsizetype packageSize)
    {
        qputenv("HOME", QFile::encodeName(home.path()));
        routers = std::make_unique<RouterFixture>(home.path());
        if (!routers->start() || !ssh.start())
            return;
        routers->device->setSshport(QString::number(ssh.port()));
        path = OVCache::cacheDirectory().value() + QStringLiteral("/7.12/routeros-7.12-arm64.npk");
        QDir().mkpath(QFileInfo(path).absolutePath());
        package = QByteArray(packageSize, Qt::Uninitialized);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(package.data()), package.size() / 4);
        if (!certificates.isValid())
            return;
        certificates.trustForProcess();
        vendor = std::make_unique<HttpsServer>(certificates);
        if (!vendor->listen())
            return;
        vendor->setRoute("/routeros/7.12/routeros-7.12-arm64.npk",
            HttpReply {200, package, "application/octet-stream", false, false});
        ready = cache();
    }

    // The package in the cache with its marker, as a finished download leaves it.
    bool cache() const
    {
        QFile file(path);
        QFile marker(path + QStringLiteral(".finished"));
        return file.open(QIODevice::WriteOnly) && file.write(package) == package.size()
            && marker.open(QIODevice::WriteOnly);
    }

    bool uncache() const { return QFile::remove(path) && QFile::remove(path + QStringLiteral(".finished")); }
};

void upgrade(benchmark::State& state, const QString& method, bool cached)
{
    UpgradeSetup setup(state.range(0));
    if (!setup.ready) {
        state.SkipWithError("fixtures did not start");
        return;
    }
    setup.routers->useMethod(method);
    for (auto _ : state) {
        if (!cached) {
            state.PauseTiming();
            const bool removed = setup.uncache();
            state.ResumeTiming();
            if (!removed) {
                state.SkipWithError("the cached package could not be removed");
                return;
            }
        }
        OVUpdateRouterOS action(setup.routers->device.data(), QStringLiteral("7.12"), false, QStringLiteral("10"),
            false, setup.vendor->baseUrl());
        OVUpdateRouter::Timing timing;
        timing.pause = std::chrono::milliseconds(0);
        action.setTiming(timing);
        const std::optional<ValidateReturn> result = runBounded(action.update(), 60000);
        if (!result || !result->success) {
            state.SkipWithError(result ? qPrintable(result->message) : "no result within 60 s");
            return;
        }
        if (!OVCache::isCached(setup.path)) {
            state.SkipWithError("the package is not cached after the upgrade");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_CachedUpgradeRest(benchmark::State& state)
{
    upgrade(state, QStringLiteral("REST"), true);
}

void BM_CachedUpgradeApi(benchmark::State& state)
{
    upgrade(state, QStringLiteral("API"), true);
}

void BM_UncachedUpgradeRest(benchmark::State& state)
{
    upgrade(state, QStringLiteral("REST"), false);
}

void BM_UncachedUpgradeApi(benchmark::State& state)
{
    upgrade(state, QStringLiteral("API"), false);
}

// 12 MB is the size of a typical arm64 package.
BENCHMARK(BM_CachedUpgradeRest)->Arg(12 << 20)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_CachedUpgradeApi)->Arg(12 << 20)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_UncachedUpgradeRest)->Arg(12 << 20)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_UncachedUpgradeApi)->Arg(12 << 20)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

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
