#include "OVUpdateRouterOS.h"

#include "OVCache.h"
#include "control/OVNetSFTP.h"
#include "control/SharedNetwork.h"
#include "model/Device.h"

#include <QCoroNetworkReply>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QUrl>

#include <chrono>
#include <cstdio>

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

    request.reset(sharedNetworkAccessManager().get(networkRequest));
    QNetworkReply* reply = request.get();

    // The package is written as it arrives; the file is only made once the server has said it
    // is sending the package (status 200), so an error page never lands in the cache.
    QFile file(path);
    QString writeError;
    auto httpStatus = [reply] { return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(); };
    auto consume = [&file, &writeError, &httpStatus, reply] {
        if (!reply->isOpen())
            return;
        const QByteArray data = reply->readAll();
        if (data.isEmpty() || httpStatus() != 200 || !writeError.isEmpty())
            return;
        if (!file.isOpen()) {
            // Made here rather than before the request, so a purge meanwhile does not stop it.
            OVCache::createDirectory(QFileInfo(file.fileName()).absolutePath());
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                writeError = file.errorString();
        }
        if (writeError.isEmpty() && file.write(data) != data.size())
            writeError = file.errorString();
        if (!writeError.isEmpty())
            reply->abort();
    };
    {
        QObject receiver;
        QObject::connect(reply, &QNetworkReply::readyRead, &receiver, consume);
        QObject::connect(reply, &QNetworkReply::downloadProgress, &receiver, [](qint64 received, qint64 total) {
            printLine(QStringLiteral("Download progress: %1 / %2").arg(received).arg(total));
        });
        co_await qCoro(reply).waitForFinished();
    }
    consume();

    const int statusCode = httpStatus();
    QString failure;
    if (!writeError.isEmpty())
        failure = writeError;
    else if (reply->error() == QNetworkReply::OperationCanceledError)
        // Nothing else aborts the reply: the server went quiet for longer than the bound.
        failure = QStringLiteral("(no data for %1 seconds)")
                      .arg(std::chrono::duration_cast<std::chrono::seconds>(timing().transferTimeout).count());
    else if (reply->error() != QNetworkReply::NoError && statusCode == 0)
        failure = reply->errorString();
    else if (statusCode != 200) {
        const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        failure = QStringLiteral("(HTTP status %1%2)")
                      .arg(statusCode)
                      .arg(reason.isEmpty() ? QString() : QLatin1Char(' ') + reason);
    } else if (reply->error() != QNetworkReply::NoError)
        failure = reply->errorString();
    else if (!file.isOpen() || file.size() == 0)
        failure = QStringLiteral("(HTTP status 200 with an empty body)");
    else if (!file.flush())
        failure = file.errorString();
    file.close();

    if (!failure.isEmpty()) {
        // Whatever is at the path is incomplete: a partial download or an older unfinished one.
        if (QFile::exists(path)) {
            QFile partial(path);
            if (!partial.remove())
                co_return ValidateReturn::failure(
                    QStringLiteral("Error removing partial download ") + partial.errorString());
        }
        co_return ValidateReturn::failure(QStringLiteral("Error downloading RouterOS ") + failure);
    }

    QFile finished(marker);
    if (!finished.open(QIODevice::WriteOnly | QIODevice::Truncate))
        printLine(QStringLiteral("Cannot write %1: %2").arg(marker, finished.errorString()));
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
