#include "SharedNetwork.h"

#include <QNetworkAccessManager>

QNetworkAccessManager& sharedNetworkAccessManager()
{
    static QNetworkAccessManager* manager = [] {
        auto* m = new QNetworkAccessManager();
        // Replies are never cached and redirects are followed like any HTTP client would.
        m->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
        return m;
    }();
    return *manager;
}
