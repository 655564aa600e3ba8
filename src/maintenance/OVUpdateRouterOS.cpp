#include "OVUpdateRouterOS.h"

#include "OVCache.h"
#include "control/OVNetSFTP.h"
#include "control/SharedNetwork.h"
#include "model/Device.h"

#include <QCoreApplication>
#include <QCoroNetworkReply>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QTemporaryFile>
#include <QTimer>
#include <QUrl>

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <coroutine>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <system_error>
#include <utility>
#include <vector>

namespace {

const QString finishedSuffix = QStringLiteral(".finished");

// Both texts become path components of the cache and of the download address: anything that
// could leave its own folder is refused.
bool isSafePathComponent(const QString& text)
{
    return !text.isEmpty() && text != QLatin1String(".") && text != QLatin1String("..")
        && !text.contains(QLatin1Char('/')) && !text.contains(QLatin1Char('\\')) && !text.contains(QChar(u'\0'));
}

void printLine(const QString& line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

// A 200 reply that is a web page (a captive portal, a proxy's notice) is not a package.
bool isWebPage(const QNetworkReply* reply)
{
    const QString type = reply->header(QNetworkRequest::ContentTypeHeader).toString();
    return type.section(QLatin1Char(';'), 0, 0).trimmed().compare(QLatin1String("text/html"), Qt::CaseInsensitive) == 0;
}

// Why a finished reply did not bring a whole package, or nothing when it did.
QString replyFailure(const QNetworkReply* reply, const QString& writeError, bool webPage, qint64 received,
    const QString& transferTimeoutText)
{
    const int statusCode = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!writeError.isEmpty())
        return writeError;
    if (webPage || (statusCode == 200 && isWebPage(reply)))
        return QStringLiteral("(the server sent a web page, not the package)");
    if (reply->error() == QNetworkReply::OperationCanceledError)
        // Nothing else aborts the reply: the server went quiet for longer than the bound.
        return QStringLiteral("(no data for %1)").arg(transferTimeoutText);
    if (reply->error() != QNetworkReply::NoError && statusCode == 0)
        return reply->errorString();
    if (statusCode != 200) {
        const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        return QStringLiteral("(HTTP status %1%2)")
            .arg(statusCode)
            .arg(reason.isEmpty() ? QString() : QLatin1Char(' ') + reason);
    }
    // A body shorter than promised is a cut package, also when the connection closed cleanly.
    bool known = false;
    const qint64 promised = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
    if (known && promised != received && reply->rawHeader("Content-Encoding").isEmpty())
        return QStringLiteral("(received %1 of %2 bytes)").arg(received).arg(promised);
    if (reply->error() != QNetworkReply::NoError)
        return reply->errorString();
    const QByteArray encoding = reply->rawHeader("Content-Encoding").trimmed();
    if (!encoding.isEmpty() && encoding.compare("identity", Qt::CaseInsensitive) != 0)
        return QStringLiteral("(the server sent the package encoded as %1)").arg(QString::fromLatin1(encoding));
    if (received == 0)
        return QStringLiteral("(HTTP status 200 with an empty body)");
    return {};
}

// The private file a package is written into, beside its place, open for writing and reading.
// Asking for its name gives it one at once (Qt may otherwise keep it unnamed until the end), so
// a purge meanwhile is seen and an interrupted download can be found and removed.
std::unique_ptr<QTemporaryFile> openPart(const QString& path)
{
    auto part = std::make_unique<QTemporaryFile>(path + QStringLiteral(".XXXXXX.part"));
    if (part->open())
        (void)part->fileName();
    return part;
}

// Moves the whole package from its private file into place; a purge may have unlinked that file
// meanwhile, and then what arrived is first copied into the folder made anew. Nothing on success.
QString placePackage(std::unique_ptr<QTemporaryFile>& part, const QString& folder, const QString& path)
{
    if (!part->flush())
        return QStringLiteral("(cannot write %1: %2)").arg(part->fileName(), part->errorString());
    struct stat info
    { };
    if (::fstat(part->handle(), &info) != 0)
        return QStringLiteral("(cannot check %1: %2)")
            .arg(part->fileName(), QString::fromLocal8Bit(std::strerror(errno)));
    if (info.st_nlink == 0) {
        OVCache::createDirectory(folder);
        auto fresh = openPart(path);
        if (!fresh->isOpen())
            return QStringLiteral("(cannot write %1: %2)").arg(fresh->fileTemplate(), fresh->errorString());
        if (!part->seek(0))
            return QStringLiteral("(cannot read %1: %2)").arg(part->fileName(), part->errorString());
        const qint64 size = part->size();
        QByteArray chunk;
        while (!part->atEnd()) {
            chunk = part->read(1 << 20);
            if (chunk.isEmpty() || fresh->write(chunk) != chunk.size())
                return QStringLiteral("(cannot write %1: %2)").arg(fresh->fileName(), fresh->errorString());
        }
        if (!fresh->flush() || fresh->size() != size)
            return QStringLiteral("(cannot write %1: %2)").arg(fresh->fileName(), fresh->errorString());
        part = std::move(fresh);
    }
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(QFile::encodeName(part->fileName()).toStdString()),
        std::filesystem::path(QFile::encodeName(path).toStdString()), error);
    if (error)
        return QStringLiteral("(cannot move the package to %1: %2)").arg(path, QString::fromStdString(error.message()));
    part->setAutoRemove(false);
    return {};
}

// The downloads running in this process, by package path (main thread only). Whoever asks for
// a package while it is on its way waits here for the one result.
struct Download
{
    std::optional<ValidateReturn> result;
    std::vector<std::coroutine_handle<>> waiters;
};

std::map<QString, std::shared_ptr<Download>>& downloadsInFlight()
{
    static std::map<QString, std::shared_ptr<Download>> downloads;
    return downloads;
}

struct AwaitDownload
{
    std::shared_ptr<Download> download;

    bool await_ready() const noexcept { return download->result.has_value(); }
    void await_suspend(std::coroutine_handle<> waiter) { download->waiters.push_back(waiter); }
    ValidateReturn await_resume() const { return *download->result; }
};

// Holds the slot of one package path while its download runs; however the download ends (even
// when its task is dropped), the slot is freed and the waiters resume from the event loop.
class DownloadSlot
{
public:
    explicit DownloadSlot(QString path)
        : m_path(std::move(path))
        , m_download(std::make_shared<Download>())
    {
        downloadsInFlight()[m_path] = m_download;
    }
    ~DownloadSlot()
    {
        if (!m_download->result)
            finish(ValidateReturn::failure(QStringLiteral("Error downloading RouterOS (the download was stopped)")));
    }
    DownloadSlot(const DownloadSlot&) = delete;
    DownloadSlot& operator=(const DownloadSlot&) = delete;

    void finish(const ValidateReturn& result)
    {
        m_download->result = result;
        if (const auto it = downloadsInFlight().find(m_path);
            it != downloadsInFlight().end() && it->second == m_download)
            downloadsInFlight().erase(it);
        if (!QCoreApplication::instance())
            return;
        for (const std::coroutine_handle<> waiter : std::exchange(m_download->waiters, {}))
            QTimer::singleShot(0, QCoreApplication::instance(), [waiter] { waiter.resume(); });
    }

private:
    QString m_path;
    std::shared_ptr<Download> m_download;
};

} // namespace

OVUpdateRouterOS::OVUpdateRouterOS(Device* device, const QString& routerOSVersion, bool restApiValidSSL,
    QString restApiTimeout, bool downgrade, QString downloadServer)
    : OVUpdateRouter(device, restApiValidSSL, std::move(restApiTimeout))
    , downgrade(downgrade)
    , downloadServer(std::move(downloadServer))
{
    if (routerOSVersion == QLatin1String("Unknown") || !isSafePathComponent(routerOSVersion))
        throw OVUpdateRouterOSError::unknownRouterosVersion;
    const std::optional<QString> arch = device ? device->arch() : std::nullopt;
    if (!arch || *arch == QLatin1String("Unknown") || !isSafePathComponent(*arch))
        throw OVUpdateRouterOSError::unknownDeviceArch;
    this->routerOSVersion = routerOSVersion;
    firmwareFile = QStringLiteral("routeros-") + routerOSVersion + QLatin1Char('-') + *arch + QStringLiteral(".npk");
    cacheRoot = OVCache::cacheDirectory();
    if (!cacheRoot)
        throw OVUpdateRouterOSError::noCacheDirectory;
    localFirmwarePath = *cacheRoot + QLatin1Char('/') + routerOSVersion + QLatin1Char('/') + firmwareFile;
}

OVUpdateRouterOS::~OVUpdateRouterOS() = default;

QCoro::Task<ValidateReturn> OVUpdateRouterOS::update()
{
    if (!OVCache::isCached(*localFirmwarePath)) {
        const ValidateReturn downloaded = co_await download();
        if (!downloaded.success)
            co_return downloaded;
    }
    const ValidateReturn uploaded = co_await upload();
    if (!uploaded.success)
        co_return uploaded;
    co_return co_await apply();
}

QCoro::Task<ValidateReturn> OVUpdateRouterOS::download()
{
    if (status == OVUpdateRouterStatus::cancelling)
        co_return ValidateReturn::ok();
    status = OVUpdateRouterStatus::downloading;

    const QString path = *localFirmwarePath;
    // Two routers of one architecture upgraded at once want the same file: the later request
    // takes the result of the one in flight instead of writing the same path beside it.
    for (;;) {
        const auto running = downloadsInFlight().find(path);
        if (running == downloadsInFlight().end())
            break;
        // Named, not a temporary of the co_await expression: GCC 12 mishandles those.
        AwaitDownload other {running->second};
        const ValidateReturn result = co_await other;
        // A package purged again since it was marked is fetched anew.
        if (!result.success || OVCache::isCached(path))
            co_return result;
    }
    DownloadSlot slot(path);
    const ValidateReturn result = co_await fetch(path);
    slot.finish(result);
    co_return result;
}

QCoro::Task<ValidateReturn> OVUpdateRouterOS::fetch(QString path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const QString marker = path + finishedSuffix;
    // A marker left without its package must not bless whatever this download leaves behind.
    QFile::remove(marker);

    QUrl url(downloadServer);
    url.setPath(
        url.path(QUrl::FullyDecoded) + QStringLiteral("/routeros/") + routerOSVersion + QLatin1Char('/') + firmwareFile,
        QUrl::DecodedMode);
    QNetworkRequest networkRequest(url);
    networkRequest.setTransferTimeout(static_cast<int>(timing().transferTimeout.count()));
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    networkRequest.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // The bytes as the server stores them, so that their count can be held against the
    // Content-Length (a package is compressed already).
    networkRequest.setRawHeader("Accept-Encoding", "identity");

    request.reset(sharedNetworkAccessManager().get(networkRequest));
    QNetworkReply* reply = request.get();

    // The package is written, as it arrives, into a private file beside its place; that file is
    // only made once the server has said it is sending a package (status 200, not a web page),
    // and only moved into place once the reply has ended well.
    std::unique_ptr<QTemporaryFile> part;
    qint64 received = 0;
    QString writeError;
    bool webPage = false;
    auto httpStatus = [reply] { return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(); };
    // Never aborted inside one of the reply's own signals: the end of the exchange then comes
    // from the event loop.
    auto stop = [reply] { QMetaObject::invokeMethod(reply, &QNetworkReply::abort, Qt::QueuedConnection); };
    auto consume = [&] {
        if (!reply->isOpen())
            return;
        const QByteArray data = reply->readAll();
        if (data.isEmpty() || httpStatus() != 200 || !writeError.isEmpty() || webPage)
            return;
        if (!part) {
            if (isWebPage(reply)) {
                webPage = true;
                stop();
                return;
            }
            // Made here rather than before the request, so a purge meanwhile does not stop it.
            OVCache::createDirectory(folder);
            part = openPart(path);
            if (!part->isOpen()) {
                writeError = QStringLiteral("(cannot write %1: %2)").arg(part->fileTemplate(), part->errorString());
                part.reset();
                stop();
                return;
            }
        }
        if (part->write(data) != data.size()) {
            writeError = QStringLiteral("(cannot write %1: %2)").arg(part->fileName(), part->errorString());
            stop();
            return;
        }
        received += data.size();
    };
    {
        QObject receiver;
        QObject::connect(reply, &QNetworkReply::readyRead, &receiver, consume);
        QObject::connect(reply, &QNetworkReply::downloadProgress, &receiver, [](qint64 done, qint64 total) {
            printLine(QStringLiteral("Download progress: %1 / %2").arg(done).arg(total));
        });
        co_await qCoro(reply).waitForFinished();
    }
    consume();

    QString error = replyFailure(reply, writeError, webPage, received, durationText(timing().transferTimeout));
    if (error.isEmpty())
        error = placePackage(part, folder, path);
    part.reset();

    if (!error.isEmpty()) {
        // Whatever is at the path is incomplete: an older unfinished download.
        QFile::remove(marker);
        if (QFile::exists(path)) {
            QFile partial(path);
            if (!partial.remove())
                co_return ValidateReturn::failure(
                    QStringLiteral("Error removing partial download ") + partial.errorString());
        }
        co_return ValidateReturn::failure(QStringLiteral("Error downloading RouterOS ") + error);
    }

    QFile finished(marker);
    if (!finished.open(QIODevice::WriteOnly | QIODevice::Truncate))
        co_return ValidateReturn::failure(
            QStringLiteral("Error downloading RouterOS (cannot write %1: %2)").arg(marker, finished.errorString()));
    co_return ValidateReturn::ok();
}

QCoro::Task<ValidateReturn> OVUpdateRouterOS::upload()
{
    if (status == OVUpdateRouterStatus::cancelling)
        co_return ValidateReturn::ok();
    status = OVUpdateRouterStatus::uploading;
    if (!deviceAlive())
        co_return deviceGone();
    co_return co_await OVNetSFTP::upload(device->address().value_or(QString()), device->username().value_or(QString()),
        device->password().value_or(QString()), device->sshport().value_or(QString()), *localFirmwarePath,
        QLatin1Char('/') + firmwareFile);
}

QCoro::Task<ValidateReturn> OVUpdateRouterOS::apply()
{
    if (status == OVUpdateRouterStatus::cancelling)
        co_return ValidateReturn::ok();
    status = OVUpdateRouterStatus::applying;
    if (downgrade) {
        const ValidateReturn result = co_await sendCommand(OVRequestCommand::system_package_downgrade);
        if (!result.success)
            co_return result;
    }
    const ValidateReturn reboot = co_await sendCommand(OVRequestCommand::system_reboot);
    if (!reboot.success)
        co_return reboot;
    co_return co_await waitForDevice(false);
}
