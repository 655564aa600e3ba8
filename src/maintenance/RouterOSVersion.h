#pragma once

#include <QString>
#include <QtGlobal>

// A RouterOS version text and the signed 32-bit value that orders it: releases, release
// candidates and betas on one scale (7.13beta2 < 7.13rc1 < 7.13 < 7.13.1). Unreadable texts are 0.
class RouterOSVersion
{
public:
    explicit RouterOSVersion(const QString& stringVersion);

    static qint32 parse(const QString& text);

    QString stringVersion;
    qint32 intVersion = 0;

    friend bool operator==(const RouterOSVersion& a, const RouterOSVersion& b) { return a.intVersion == b.intVersion; }
    friend bool operator<(const RouterOSVersion& a, const RouterOSVersion& b) { return a.intVersion < b.intVersion; }
    friend bool operator>(const RouterOSVersion& a, const RouterOSVersion& b) { return b < a; }
    friend bool operator<=(const RouterOSVersion& a, const RouterOSVersion& b) { return !(b < a); }
    friend bool operator>=(const RouterOSVersion& a, const RouterOSVersion& b) { return !(a < b); }
};
