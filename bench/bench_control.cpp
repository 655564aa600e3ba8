// Time of one router call on loopback over each control method, from the stored password to the
// JSON text, and of the keychain read that every call starts with. Run inside a D-Bus session
// with an unlocked keyring (scripts/with-keyring.sh).
#include "control/OVControlAPI.h"
#include "control/OVControlRest.h"
#include "model/Secrets.h"
#include "support/FakeApiRouter.h"
#include "support/FakeRestRouter.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include <benchmark/benchmark.h>

namespace {

QString storedPassword()
{
    static const QString stored = QCoro::waitFor(Secrets::encrypt(QStringLiteral("secret")));
    return stored;
}

template<typename Control>
void runCalls(benchmark::State& state, quint16 port, OVRequestCommand command)
{
    for (auto _ : state) {
        Control control(false, QStringLiteral("5"), QStringLiteral("127.0.0.1"), QStringLiteral("admin"),
            storedPassword(), QString::number(port), false);
        const ValidateReturn result = QCoro::waitFor(control.makeCall(command));
        if (!result.success) {
            state.SkipWithError(qPrintable(result.message));
            break;
        }
        benchmark::DoNotOptimize(result.response);
    }
}

void restCall(benchmark::State& state)
{
    FakeRestRouter router;
    if (!router.listen()) {
        state.SkipWithError("no REST router");
        return;
    }
    runCalls<OVControlRest>(state, router.port(), OVRequestCommand::system_resource);
}

void apiCall(benchmark::State& state)
{
    FakeApiRouter router;
    if (!router.start()) {
        state.SkipWithError("no API router");
        return;
    }
    runCalls<OVControlAPI>(state, router.port(), OVRequestCommand::system_resource);
}

void decryptPassword(benchmark::State& state)
{
    const QString stored = storedPassword();
    for (auto _ : state)
        benchmark::DoNotOptimize(QCoro::waitFor(Secrets::decrypt(stored)));
}

} // namespace

BENCHMARK(restCall)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(apiCall)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(decryptPassword)->Unit(benchmark::kMillisecond)->MinTime(1.0);

int main(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
