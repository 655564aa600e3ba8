#pragma once

#include "HttpsServer.h"
#include "RouterData.h"

#include <QJsonDocument>
#include <QObject>

#include <functional>
#include <memory>

// The REST side of a fake router: HTTPS on 127.0.0.1 with a self-signed certificate made at test
// time. GET "/rest" + a command path answers with the router data as JSON (resource and
// routerboard as an object, package and health as an array), POST answers "[]", and requests
// without the router's basic-authentication credentials get RouterOS's 401 error object.
// Scripted replies per path win over all of that. Every request is recorded.
class FakeRestRouter : public QObject
{
    Q_OBJECT
public:
    // The certificate names "localhost" and, unless certificateNamesIp is false, 127.0.0.1.
    explicit FakeRestRouter(
        RouterData data = RouterData::typical(), bool certificateNamesIp = true, QObject* parent = nullptr);
    ~FakeRestRouter() override;

    bool listen(const QHostAddress& address = QHostAddress(QHostAddress::LocalHost), quint16 port = 0);
    quint16 port() const;
    const TestCertificates& certificates() const { return *m_certificates; }

    RouterData& data() { return m_data; }
    // The JSON the router serves for a read path, as it serves it.
    QJsonDocument json(const QString& path) const;

    // A fixed reply for "/rest" + path, served whatever the request's method or credentials.
    void script(const QString& path, const HttpReply& reply);
    void clearScripts();
    // Called on the router's thread with every request that is not scripted, before it is answered.
    void setOnRequest(std::function<void(const HttpRequestRecord&)> hook) { m_onRequest = std::move(hook); }

    QList<HttpRequestRecord> requests() const { return m_server->requests(); }
    void clearRequests() { m_server->clearRequests(); }

private:
    HttpReply answer(const HttpRequestRecord& request) const;

    RouterData m_data;
    std::function<void(const HttpRequestRecord&)> m_onRequest;
    std::unique_ptr<TestCertificates> m_certificates;
    std::unique_ptr<HttpsServer> m_server;
};
