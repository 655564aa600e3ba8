#pragma once

#include <QNetworkAccessManager>

// The application's shared HTTP session (release lookups, package downloads). Main thread only.
QNetworkAccessManager& sharedNetworkAccessManager();
