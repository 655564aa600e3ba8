#pragma once

#include "model/Device.h"
#include "model/PersistenceController.h"
#include "model/Secrets.h"
#include "support/FakeApiRouter.h"
#include "support/FakeRestRouter.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// One stored device and both kinds of fake router it can be pointed at, so an action can be
// run over either control method and the commands the router received compared.
class RouterFixture
{
public:
    explicit RouterFixture(const QString& storeFolder)
        : store(storeFolder + QStringLiteral("/Orvanta.sqlite"))
    {
        newDevice();
    }

    // A device that talks to these routers (again after a test deleted it).
    void newDevice()
    {
        device = store.insertDevice();
        device->setAddress(QStringLiteral("127.0.0.1"));
        device->setUsername(QStringLiteral("admin"));
        device->setPassword(QCoro::waitFor(Secrets::encrypt(QStringLiteral("secret"))));
        device->setArch(QStringLiteral("arm64"));
    }

    bool start() { return rest.listen() && api.start(); }

    // "REST" talks to the REST fake over TLS; any other method to the plain API fake.
    void useMethod(const QString& method)
    {
        method_ = method;
        device->setControlMethod(method);
        const bool isRest = method == QLatin1String("REST");
        device->setPort(QString::number(isRest ? rest.port() : api.port()));
        device->setSsl(isRest);
    }

    // Command paths the router of the current method received, in order, without "/rest",
    // "/print" and the API login.
    QStringList commands() const
    {
        QStringList result;
        if (method_ == QLatin1String("REST")) {
            for (const HttpRequestRecord& request : rest.requests())
                result << QString::fromUtf8(request.path).remove(0, 5);
        } else {
            for (const QStringList& sentence : api.receivedSentences()) {
                if (sentence.isEmpty() || sentence.first() == QLatin1String("/login"))
                    continue;
                QString word = sentence.first();
                if (word.endsWith(QLatin1String("/print")))
                    word.chop(6);
                result << word;
            }
        }
        return result;
    }

    // Makes one command fail: an empty reply body over REST (no retry, unlike a dropped
    // connection), a connection closed before the reply over the API.
    void failCommand(const QString& path)
    {
        rest.script(path, HttpReply {200, {}, "application/json", false, false});
        const bool isRead = path == QLatin1String("/system/routerboard");
        api.setReply(path + (isRead ? QStringLiteral("/print") : QString()), FakeApiReply {{}, {}, false, true});
    }

    void clearFailures()
    {
        rest.clearScripts();
        api.clearReplies();
    }

    // Ready for the next test: no scripts, no records, a device on the API router.
    void reset()
    {
        clearFailures();
        rest.clearRequests();
        api.clearRecords();
        if (!device)
            newDevice();
        useMethod(QStringLiteral("API"));
    }

    PersistenceController store;
    QPointer<Device> device;
    FakeRestRouter rest;
    FakeApiRouter api;

private:
    QString method_;
};
