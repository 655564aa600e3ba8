#include "OVCache.h"

#include "model/ByteCountFormatter.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>

namespace {

void printLine(const QString& line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

bool existsNoFollow(const QString& path)
{
    struct stat info
    { };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

} // namespace

std::optional<QString> OVCache::cacheDirectory()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty())
        return std::nullopt;
    return base + QStringLiteral("/RouterOS");
}

bool OVCache::isCached(const QString& packagePath)
{
    return QFile::exists(packagePath) && QFile::exists(packagePath + QStringLiteral(".finished"));
}

void OVCache::createDirectory(const QString& path)
{
    if (existsNoFollow(path))
        return;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(QFile::encodeName(path).toStdString()), error);
    if (error)
        printLine(QStringLiteral("Cannot create %1: %2").arg(path, QString::fromStdString(error.message())));
}

void OVCache::purge()
{
    const std::optional<QString> root = cacheDirectory();
    if (!root)
        return;
    const std::filesystem::path rootPath(QFile::encodeName(*root).toStdString());
    // Removing something that is not there is an error here: the root is then left missing
    // rather than made by a purge.
    if (!existsNoFollow(*root)) {
        printLine(
            QStringLiteral("Cannot remove %1: %2")
                .arg(*root,
                    QString::fromStdString(std::make_error_code(std::errc::no_such_file_or_directory).message())));
        return;
    }
    std::error_code error;
    std::filesystem::remove_all(rootPath, error);
    if (error) {
        printLine(QStringLiteral("Cannot remove %1: %2").arg(*root, QString::fromStdString(error.message())));
        return;
    }
    std::filesystem::create_directories(rootPath, error);
    if (error)
        printLine(QStringLiteral("Cannot create %1: %2").arg(*root, QString::fromStdString(error.message())));
}

QString OVCache::size()
{
    const QString unknown = QStringLiteral("Unknown");
    const std::optional<QString> root = cacheDirectory();
    if (!root)
        return unknown;
    const std::optional<quint64> bytes = allocatedSizeOfDirectory(*root);
    if (!bytes || *bytes > static_cast<quint64>(std::numeric_limits<qint64>::max()))
        return unknown;
    return ByteCountFormatter::fileStyle(static_cast<qint64>(*bytes));
}

std::optional<quint64> OVCache::allocatedSizeOfDirectory(const QString& path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    // No options: links to directories are not entered, and an unreadable folder ends the walk.
    fs::recursive_directory_iterator it(fs::path(QFile::encodeName(path).toStdString()), error);
    if (error)
        return std::nullopt;
    quint64 total = 0;
    for (const fs::recursive_directory_iterator end; it != end; it.increment(error)) {
        if (error)
            return std::nullopt;
        struct stat info
        { };
        if (::lstat(it->path().c_str(), &info) != 0)
            return std::nullopt;
        if (!S_ISREG(info.st_mode))
            continue;
        // Blocks actually allocated, so sparse and compressed files count as what they take.
        const quint64 allocated = static_cast<quint64>(info.st_blocks) * 512u;
        if (qAddOverflow(total, allocated, &total))
            return std::nullopt;
    }
    if (error)
        return std::nullopt;
    return total;
}
