#pragma once

#include "OVUpdateRouter.h"

#include <QNetworkReply>

#include <memory>
#include <optional>

// Why an OVUpdateRouterOS could not be made. The view drops it silently and clears its flag.
// A version or architecture that could not name a folder or file of the cache (empty, "." or
// "..", or holding a path separator) counts as unknown.
enum class OVUpdateRouterOSError { unknownRouterosVersion, unknownDeviceArch, noCacheDirectory };

// Deletes a reply through the event loop: it may be dropped while one of its own signals is
// still being delivered.
struct DeleteLaterReply
{
    void operator()(QNetworkReply* reply) const
    {
        if (reply)
            reply->deleteLater();
    }
};

// Installs one RouterOS version: download into the package cache unless cached, upload by SFTP
// to "/" + file name, downgrade when asked, restart, wait for the router.
class OVUpdateRouterOS : public OVUpdateRouter
{
public:
    // Throws OVUpdateRouterOSError. Must run on the main thread.
    OVUpdateRouterOS(Device* device, const QString& routerOSVersion, bool restApiValidSSL, QString restApiTimeout,
        bool downgrade, QString downloadServer = QStringLiteral("https://download.mikrotik.com"));
    ~OVUpdateRouterOS() override;

    QCoro::Task<ValidateReturn> update();
    // Fetches the package into the cache. It lands under its own name, with its marker, only
    // when the whole package arrived; until then it is a private file beside it. A download of
    // the same package already running in this process is waited for and its result used.
    QCoro::Task<ValidateReturn> download();
    QCoro::Task<ValidateReturn> upload();
    QCoro::Task<ValidateReturn> apply();

    std::unique_ptr<QNetworkReply, DeleteLaterReply> request;
    QString routerOSVersion;
    std::optional<QString> localFirmwarePath;
    QString firmwareFile;
    std::optional<QString> cacheRoot;
    bool downgrade = false;
    QString downloadServer;

private:
    QCoro::Task<ValidateReturn> fetch(QString path);
};
