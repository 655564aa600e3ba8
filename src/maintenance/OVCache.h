#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// The package cache: <user caches folder>/RouterOS/<version>/routeros-<version>-<arch>.npk, with
// an empty "<package>.finished" marker once a download is complete.
class OVCache
{
public:
    OVCache() = delete;

    // The cache root, or nothing when the platform names no user caches folder.
    static std::optional<QString> cacheDirectory();
    // True when both the file and its ".finished" marker exist.
    static bool isCached(const QString& packagePath);
    // Creates the directory with its parents when nothing exists at the path; errors are printed.
    static void createDirectory(const QString& path);
    // Removes the root with everything in it and creates it again; errors are printed.
    static void purge();
    // The allocated size in file style (multiples of 1000), or "Unknown".
    static QString size();
    // Allocated bytes of every regular file below `path` (hidden ones included, links not
    // followed); nothing on an error of the walk.
    static std::optional<quint64> allocatedSizeOfDirectory(const QString& path);
};
