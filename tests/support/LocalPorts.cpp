#include "LocalPorts.h"

#include <QTcpServer>

quint16 LocalPorts::closed()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        qFatal("no free loopback port");
    return probe.serverPort();
}
