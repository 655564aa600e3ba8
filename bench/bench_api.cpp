// Reply parsing throughput and the cost of one whole API call (connect, login, command, reply,
// close) against the fake router on loopback, plain and over TLS.
#include "api/OVRouterOS.h"
#include "support/FakeApiRouter.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include <benchmark/benchmark.h>

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
