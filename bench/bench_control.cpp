// Time of one router call on loopback over each control method, from the stored password to the
// JSON text, and of the keychain read that every call starts with. Run inside a D-Bus session
// with an unlocked keyring (scripts/with-keyring.sh).
//
// On a link with a real round trip the REST read and the REST refresh are set against their
// floors, measured in the same run: a read needs three round trips (TCP, TLS 1.3, the request),
// a refresh four reads. The router side runs
//   bench_control --serve-rest 10.99.0.2:8443
// and the client side, in a D-Bus session with a keyring,
//   bench_control --rest-link 10.99.0.2:8443 --benchmark_filter=Link
// (/work/shared/tools/delayed-link/run.sh makes such a link between two network namespaces).
#include "control/OVControlAPI.h"
#include "control/OVControlRest.h"
#include "model/Device.h"
#include "model/PersistenceController.h"
#include "model/Secrets.h"
#include "support/FakeApiRouter.h"
#include "support/FakeRestRouter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

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

// The router across the delayed link, from --rest-link.
QString linkHost;
quint16 linkPort = 0;

// One TCP handshake to the link's router: the round trip, the least of a few.
double linkRoundTripMs()
{
    double best = 1e9;
    for (int i = 0; i < 7; ++i) {
        QTcpSocket socket;
        QElapsedTimer timer;
        timer.start();
        socket.connectToHost(linkHost, linkPort);
        if (!socket.waitForConnected(5000))
            return 0;
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
        socket.abort();
    }
    return best;
}

// The same read written directly on a TLS socket that sends at once: the floor this router and
// link allow, with its own handshake and reply time, without the keychain and the HTTP library.
bool bareRead()
{
    QSslSocket socket;
    socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    socket.connectToHost(linkHost, linkPort);
    if (!socket.waitForConnected(5000))
        return false;
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket.startClientEncryption();
    if (!socket.waitForEncrypted(5000))
        return false;
    socket.write("GET /rest/system/resource HTTP/1.1\r\nHost: " + linkHost.toUtf8()
        + "\r\nAuthorization: Basic YWRtaW46c2VjcmV0\r\nAccept: application/json\r\n\r\n");
    QByteArray reply;
    for (;;) {
        const qsizetype end = reply.indexOf("\r\n\r\n");
        if (end >= 0) {
            const qsizetype length = reply.indexOf("Content-Length: ");
            const qsizetype lineEnd = reply.indexOf("\r\n", length);
            if (length >= 0 && reply.size() >= end + 4 + reply.mid(length + 16, lineEnd - length - 16).toLongLong())
                return reply.startsWith("HTTP/1.1 200");
        }
        if (!socket.waitForReadyRead(5000))
            return false;
        reply += socket.readAll();
    }
}

// Runs one timed operation per iteration and sets it against floorRoundTrips round trips of
// the link, measured just before.
template<typename Operation>
void againstFloor(benchmark::State& state, int floorRoundTrips, Operation operation)
{
    if (linkHost.isEmpty()) {
        state.SkipWithError("no --rest-link given");
        return;
    }
    const double roundTrip = linkRoundTripMs();
    if (roundTrip <= 0) {
        state.SkipWithError("the link's router does not answer");
        return;
    }
    std::vector<double> times;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        if (!operation()) {
            state.SkipWithError("the call failed");
            return;
        }
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        state.SetIterationTime(times.back() / 1e3);
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    state.counters["round_trip_ms"] = roundTrip;
    state.counters["floor_ms"] = roundTrip * floorRoundTrips;
    state.counters["median_ms"] = median;
    state.counters["ratio"] = median / (roundTrip * floorRoundTrips);
}

void restReadOnLink(benchmark::State& state)
{
    againstFloor(state, 3, [] {
        OVControlRest control(false, QStringLiteral("5"), linkHost, QStringLiteral("admin"), storedPassword(),
            QString::number(linkPort), true);
        const ValidateReturn result = QCoro::waitFor(control.makeCall(OVRequestCommand::system_resource));
        return result.success;
    });
}

void bareReadOnLink(benchmark::State& state)
{
    againstFloor(state, 3, [] { return bareRead(); });
}

// The refresh's four reads one after the other, without the store.
void restFourReadsOnLink(benchmark::State& state)
{
    againstFloor(state, 12, [] {
        for (const auto command : {OVRequestCommand::system_resource, OVRequestCommand::system_package,
                 OVRequestCommand::system_routerboard, OVRequestCommand::system_health}) {
            OVControlRest control(false, QStringLiteral("5"), linkHost, QStringLiteral("admin"), storedPassword(),
                QString::number(linkPort), true);
            if (!QCoro::waitFor(control.makeCall(command)).success)
                return false;
        }
        return true;
    });
}

void restRefreshOnLink(benchmark::State& state)
{
    QTemporaryDir dir;
    PersistenceController store(dir.filePath(QStringLiteral("bench.sqlite")));
    Device* device = store.insertDevice();
    device->setAddress(linkHost);
    device->setControlMethod(QStringLiteral("REST"));
    device->setPort(QString::number(linkPort));
    device->setUsername(QStringLiteral("admin"));
    device->setPassword(storedPassword());
    device->setSsl(true);
    againstFloor(state, 12, [device] {
        const ValidateReturn result = QCoro::waitFor(device->refreshDevice(false, QStringLiteral("5")));
        return result.success;
    });
}

// "host:port" into its parts; false when it is not that.
bool parseHostPort(const char* text, QString& host, quint16& port)
{
    const QString value = QString::fromUtf8(text);
    const qsizetype colon = value.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    port = colon > 0 ? value.mid(colon + 1).toUShort(&ok) : 0;
    host = value.left(colon);
    return ok && port != 0;
}

// The router side of the link: serves REST until it is stopped.
int serveRest(const char* where)
{
    QString host;
    quint16 port = 0;
    FakeRestRouter router;
    if (!parseHostPort(where, host, port) || !router.listen(QHostAddress(host), port)) {
        fprintf(stderr, "cannot listen on %s\n", where);
        return 1;
    }
    fprintf(stderr, "serving REST on %s\n", where);
    return QCoreApplication::exec();
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
BENCHMARK(bareReadOnLink)->Name("LinkBareRead")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(restReadOnLink)->Name("LinkRestRead")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(restFourReadsOnLink)
    ->Name("LinkRestFourReads")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(15);
BENCHMARK(restRefreshOnLink)->Name("LinkRestRefresh")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

int main(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--serve-rest") == 0)
            return serveRest(argv[i + 1]);
        if (std::strcmp(argv[i], "--rest-link") == 0) {
            if (!parseHostPort(argv[i + 1], linkHost, linkPort)) {
                fprintf(stderr, "--rest-link wants host:port\n");
                return 2;
            }
            // Google Benchmark must not see the two arguments.
            std::copy(argv + i + 2, argv + argc + 1, argv + i);
            argc -= 2;
            break;
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
