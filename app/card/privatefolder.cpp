#include "privatefolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {

namespace {

QString absoluteFromEnvironment(const char *name)
{
    const QString value = qEnvironmentVariable(name);
    return value.startsWith(QLatin1Char('/')) ? value : QString();
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

QString userHomeFolder()
{
    const QString home = absoluteFromEnvironment("HOME");
    if (!home.isEmpty())
        return home;
    const passwd *entry = getpwuid(getuid());
    return entry && entry->pw_dir ? QFile::decodeName(entry->pw_dir) : QStringLiteral("/");
}

QString userCacheFolder()
{
    const QString cache = absoluteFromEnvironment("XDG_CACHE_HOME");
    return cache.isEmpty() ? userHomeFolder() + QStringLiteral("/.cache") : cache;
}

QString userDataFolder()
{
    const QString data = absoluteFromEnvironment("XDG_DATA_HOME");
    return data.isEmpty() ? userHomeFolder() + QStringLiteral("/.local/share") : data;
}

QString preparePrivateFolder(const QString &path)
{
    const QString folder = QDir::cleanPath(path);
    const QByteArray native = QFile::encodeName(folder);
    QDir().mkpath(QFileInfo(folder).path());
    if (mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("cannot create %1: %2").arg(folder, systemError());
    struct stat st
    {
    };
    if (lstat(native.constData(), &st) != 0)
        return QStringLiteral("%1: %2").arg(folder, systemError());
    if (S_ISLNK(st.st_mode))
        return QStringLiteral("%1 is a link, not a folder").arg(folder);
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("%1 is not a folder").arg(folder);
    if (st.st_uid != getuid())
        return QStringLiteral("%1 belongs to user %2").arg(folder).arg(st.st_uid);
    if (st.st_mode & (S_IWGRP | S_IWOTH))
        return QStringLiteral("%1 is writable by other users").arg(folder);
    if ((st.st_mode & 07777) != 0700 && chmod(native.constData(), 0700) != 0)
        return QStringLiteral("cannot make %1 private: %2").arg(folder, systemError());
    return {};
}

bool makeSubfolders(const QString &root, const QString &relative, QString *why)
{
    QString path = root;
    for (const QString &part : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (!path.endsWith(QLatin1Char('/')))
            path += QLatin1Char('/');
        path += part;
        const QByteArray native = QFile::encodeName(path);
        if (mkdir(native.constData(), 0700) == 0)
            continue;
        struct stat st
        {
        };
        if (errno != EEXIST || lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            *why = QStringLiteral("%1 is not a folder of the viewer's own").arg(path);
            return false;
        }
    }
    return true;
}

} // namespace korvane
