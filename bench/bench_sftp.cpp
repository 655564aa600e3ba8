// Upload of a 50 MB file to the loopback SSH server: our libssh client against OpenSSH's own
// sftp client sending the same file to the same server in the same run.
#include "control/OVNetSFTP.h"
#include "support/SshServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr qint64 kFileSize = 50 * 1000 * 1000;

SshServer* g_server = nullptr;
QTemporaryDir* g_dir = nullptr;
std::map<std::string, double> g_seconds; // best time per client

QString localFile()
{
    return g_dir->filePath(QStringLiteral("bench.npk"));
}

bool sameAsLocal(const QString& remote)
{
    QFile a(localFile());
    QFile b(g_server->localPathOf(remote));
    return a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) && a.size() == b.size()
        && a.readAll() == b.readAll();
}

void record(const std::string& name, double seconds)
{
    auto it = g_seconds.find(name);
    if (it == g_seconds.end() || seconds < it->second)
        g_seconds[name] = seconds;
}

void BM_LibsshUpload(benchmark::State& state)
{
    const OVNetSFTP::Login login {
        QStringLiteral("127.0.0.1"), g_server->user(), g_server->password(), QString::number(g_server->port())};
    const OVNetSFTP::Progress quiet = [](qint64, qint64) { return true; };
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const ValidateReturn result = OVNetSFTP::uploadBlocking(login, localFile(), QStringLiteral("/ours.npk"), quiet);
        const double seconds = timer.nsecsElapsed() / 1e9;
        if (!result.success || !sameAsLocal(QStringLiteral("/ours.npk"))) {
            state.SkipWithError(qPrintable(QStringLiteral("upload failed: ") + result.message));
            return;
        }
        state.SetIterationTime(seconds);
        record("libssh", seconds);
    }
    state.SetBytesProcessed(state.iterations() * kFileSize);
}

void BM_OpenSshUpload(benchmark::State& state)
{
    const QString askpass = g_dir->filePath(QStringLiteral("askpass.sh"));
    {
        QFile script(askpass);
        if (!script.open(QIODevice::WriteOnly)) {
            state.SkipWithError("cannot write the askpass script");
            return;
        }
        script.write("#!/bin/sh\necho '" + g_server->password().toUtf8() + "'\n");
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SSH_ASKPASS"), askpass);
    environment.insert(QStringLiteral("SSH_ASKPASS_REQUIRE"), QStringLiteral("force"));
    const QStringList arguments {QStringLiteral("-q"), QStringLiteral("-o"), QStringLiteral("StrictHostKeyChecking=no"),
        QStringLiteral("-o"), QStringLiteral("UserKnownHostsFile=/dev/null"), QStringLiteral("-o"),
        QStringLiteral("GlobalKnownHostsFile=/dev/null"), QStringLiteral("-P"), QString::number(g_server->port()),
        g_server->user() + QStringLiteral("@127.0.0.1")};
    for (auto _ : state) {
        QProcess sftp;
        sftp.setProcessEnvironment(environment);
        QElapsedTimer timer;
        timer.start();
        sftp.start(QStringLiteral("sftp"), arguments);
        sftp.write("put " + localFile().toUtf8() + " /theirs.npk\nquit\n");
        sftp.closeWriteChannel();
        const bool finished = sftp.waitForFinished(120000);
        const double seconds = timer.nsecsElapsed() / 1e9;
        if (!finished || sftp.exitCode() != 0 || !sameAsLocal(QStringLiteral("/theirs.npk"))) {
            sftp.kill();
            sftp.waitForFinished(5000);
            state.SkipWithError(qPrintable(QStringLiteral("sftp failed: ") + sftp.readAllStandardError()));
            return;
        }
        state.SetIterationTime(seconds);
        record("openssh", seconds);
    }
    state.SetBytesProcessed(state.iterations() * kFileSize);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    SshServer server;
    if (!dir.isValid() || !server.start()) {
        std::fprintf(stderr, "cannot start the SSH server: %s\n", qPrintable(server.errorText()));
        return 1;
    }
    {
        QFile file(dir.filePath(QStringLiteral("bench.npk")));
        QByteArray bytes(kFileSize, Qt::Uninitialized);
        QRandomGenerator(11).fillRange(reinterpret_cast<quint32*>(bytes.data()), kFileSize / 4);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != kFileSize)
            return 1;
    }
    g_server = &server;
    g_dir = &dir;

    // Alternating rounds, so that load from elsewhere on the machine falls on both clients alike.
    for (int round = 1; round <= 3; ++round) {
        const std::string suffix = "/round" + std::to_string(round);
        benchmark::RegisterBenchmark(("sftp_upload_50MB/libssh" + suffix).c_str(), BM_LibsshUpload)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
        benchmark::RegisterBenchmark(("sftp_upload_50MB/openssh_sftp" + suffix).c_str(), BM_OpenSshUpload)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    if (g_seconds.count("libssh") && g_seconds.count("openssh")) {
        std::printf("best of 3: libssh %.3f s, OpenSSH sftp %.3f s, ratio %.2f\n", g_seconds["libssh"],
            g_seconds["openssh"], g_seconds["libssh"] / g_seconds["openssh"]);
    }
    return 0;
}
