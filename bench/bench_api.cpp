// Reply parsing throughput and the cost of one whole API call (connect, login, command, reply,
// close) against the fake router on loopback, plain and over TLS, with the same plain exchange
// written directly on a socket as its floor. Compare wholeCall/0 with rawSocketCall in one run on
// a busy machine with --benchmark_enable_random_interleaving=true --benchmark_repetitions=20.
#include "api/OVRouterOS.h"
#include "support/FakeApiRouter.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// A print reply of the usual shape: ten attributes per row, short keys and values.
QByteArray largeReply(int rowCount)
{
    QList<RouterData::Row> rows;
    rows.reserve(rowCount);
    for (int i = 0; i < rowCount; ++i) {
        rows.append({{".id", "*" + QString::number(i, 16)}, {"name", "ether" + QString::number(i)}, {"type", "ether"},
            {"mtu", "1500"}, {"actual-mtu", "1500"}, {"mac-address", "DC:2C:6E:12:34:56"},
            {"last-link-up-time", "2024-01-02 03:04:05"}, {"running", "true"}, {"disabled", "false"},
            {"comment", "uplink to the distribution switch in rack " + QString::number(i % 40)}});
    }
    return FakeApiRouter::rowsReply(rows);
}

void parseReplyInReads(benchmark::State& state)
{
    const QByteArray reply = largeReply(static_cast<int>(state.range(0)));
    const qsizetype readSize = state.range(1);
    QList<QByteArray> reads;
    for (qsizetype at = 0; at < reply.size(); at += readSize)
        reads.append(reply.mid(at, readSize));
    for (auto _ : state) {
        auto sentence = std::make_unique<Sentence>(reads.first());
        for (qsizetype i = 1; i < reads.size(); ++i)
            sentence->feed(reads[i]);
        benchmark::DoNotOptimize(sentence->SentenceData.size());
        if (!sentence->isDone)
            state.SkipWithError("reply did not complete");
        // Freeing the rows is the reader's cost, not the parser's.
        state.PauseTiming();
        sentence.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * reply.size());
    state.counters["rows"] = static_cast<double>(state.range(0));
}
BENCHMARK(parseReplyInReads)->Args({10000, 4096})->Args({10000, 1 << 30})->Unit(benchmark::kMillisecond);

void wholeCall(benchmark::State& state)
{
    const bool tls = state.range(0) != 0;
    FakeApiRouter router(RouterData::typical(), {.tls = tls});
    if (!router.start()) {
        state.SkipWithError("fake router did not start");
        return;
    }
    const Request request(QStringLiteral("/system/resource/print"), ApiType::GET);
    for (auto _ : state) {
        OVRouterOS client(QStringLiteral("127.0.0.1"), router.port(), QStringLiteral("admin"), QStringLiteral("secret"),
            tls, false, QStringLiteral("5"));
        const OVRouterOS::CallResult result = client.call(request);
        if (!result.success) {
            state.SkipWithError("call failed");
            break;
        }
    }
    state.SetLabel(tls ? "TLS" : "plain");
}
BENCHMARK(wholeCall)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor for wholeCall on plain TCP: the same exchange against the same router, written
// directly on a blocking socket with one write per sentence and the sentences prepared
// beforehand. Reads until the reply's "!done" sentence is complete.
class RawClient
{
public:
    explicit RawClient(quint16 port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int one = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_ok = ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawClient() { ::close(m_fd); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    // Sends one sentence and reads until the bytes received end with `end`.
    bool exchange(const QByteArray& sentence, const QByteArray& end)
    {
        if (!m_ok || ::send(m_fd, sentence.constData(), static_cast<size_t>(sentence.size()), 0) != sentence.size())
            return false;
        QByteArray reply;
        char buffer[4096];
        while (!reply.endsWith(end)) {
            const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (got <= 0)
                return false;
            reply.append(buffer, got);
        }
        return true;
    }

private:
    int m_fd = -1;
    bool m_ok = false;
};

void rawSocketCall(benchmark::State& state)
{
    FakeApiRouter router(RouterData::typical());
    if (!router.start()) {
        state.SkipWithError("fake router did not start");
        return;
    }
    const QByteArray probe = FakeApiRouter::sentence({QStringLiteral("/login")});
    const QByteArray login = FakeApiRouter::sentence(
        {QStringLiteral("/login"), QStringLiteral("=name=admin"), QStringLiteral("=password=secret")});
    const QByteArray command = FakeApiRouter::sentence({QStringLiteral("/system/resource/print")});
    const QByteArray done = FakeApiRouter::sentence({QStringLiteral("!done")});
    const QByteArray closing(1, '\0'); // no other byte of the login replies is 0
    for (auto _ : state) {
        RawClient client(router.port());
        if (!client.exchange(probe, closing) || !client.exchange(login, closing) || !client.exchange(command, done)) {
            state.SkipWithError("raw exchange failed");
            break;
        }
    }
    state.SetLabel("plain, raw socket");
}
BENCHMARK(rawSocketCall)->Unit(benchmark::kMillisecond)->UseRealTime();
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
