#include "RouterThreads.h"

#include <QThreadPool>

QThreadPool& routerThreadPool()
{
    // Never a limit that a few silent routers can reach: each waiting call is bounded by its own
    // time-out, so the number of threads stays bounded by the calls in flight.
    static QThreadPool* pool = [] {
        auto* created = new QThreadPool;
        created->setObjectName(QStringLiteral("router-io"));
        created->setMaxThreadCount(4096);
        created->setExpiryTimeout(30000);
        return created;
    }();
    return *pool;
}
