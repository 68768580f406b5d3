#include "card/privatefolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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

bool ownedByUserOrRoot(const struct stat &st)
{
    return st.st_uid == 0 || st.st_uid == getuid();
}

// The user's own private group (Debian gives every user one, and a umask of 002 makes folders
// writable by it) counts as the user.
bool isUsersOwnGroup(gid_t gid)
{
    const passwd *user = getpwuid(getuid());
    const group *own = getgrgid(gid);
    if (!user || !own || own->gr_gid != user->pw_gid || std::strcmp(own->gr_name, user->pw_name))
        return false;
    for (char **member = own->gr_mem; member && *member; ++member) {
        if (std::strcmp(*member, user->pw_name) != 0)
            return false;
    }
    return true;
}

// With an access control list the mode's group bits are only its mask: the list's named users
// and groups may write too.
bool aclLetsOthersWrite(const QByteArray &path, const struct stat &st)
{
    unsigned char acl[4096];
    const ssize_t size = lgetxattr(path.constData(), "system.posix_acl_access", acl, sizeof acl);
    if (size < 0)
        return errno == ERANGE; // a list too long to read: assume the worst
    constexpr unsigned user = 0x02, owningGroup = 0x04, namedGroup = 0x08, mask = 0x10;
    bool maskAllows = true, othersMay = false;
    for (ssize_t at = 4; at + 8 <= size; at += 8) {
        const unsigned tag = acl[at] | acl[at + 1] << 8;
        const bool write = acl[at + 2] & 2;
        const uid_t id = acl[at + 4] | acl[at + 5] << 8 | acl[at + 6] << 16 |
                         static_cast<uid_t>(acl[at + 7]) << 24;
        if (tag == mask)
            maskAllows = write;
        else if (write && ((tag == user && id != getuid()) || tag == namedGroup ||
                           (tag == owningGroup && !isUsersOwnGroup(st.st_gid))))
            othersMay = true;
    }
    return othersMay && maskAllows;
}

bool writableByOthers(const QByteArray &path, const struct stat &st)
{
    if (st.st_mode & S_IWOTH)
        return true;
    if ((st.st_mode & S_IWGRP) && !isUsersOwnGroup(st.st_gid))
        return true;
    return !S_ISLNK(st.st_mode) && aclLetsOthersWrite(path, st);
}

// Why someone other than the user or root could move or replace `path` or a folder on the way to
// it, or "" when nobody can: every folder on the way belongs to the user or root, and one that
// others may write keeps them from renaming what is not theirs (the sticky bit of /tmp). Links
// on the way are followed and the way to their targets checked too.
QString ancestryProblem(const QString &path, int links = 0)
{
    if (links > 8)
        return QStringLiteral("%1: too many links").arg(path);
    QString real = QStringLiteral("/");
    struct stat container
    {
    };
    QByteArray containerPath = "/";
    if (lstat("/", &container) != 0 || container.st_uid != 0 ||
        writableByOthers(containerPath, container))
        return QStringLiteral("/ is not owned by root alone");
    for (const QString &part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const QString entry = (real == u"/" ? real : real + QLatin1Char('/')) + part;
        const QByteArray native = QFile::encodeName(entry);
        struct stat st
        {
        };
        if (lstat(native.constData(), &st) != 0)
            return {}; // made from here on by the user
        if (!ownedByUserOrRoot(st))
            return QStringLiteral("%1 belongs to user %2").arg(entry).arg(st.st_uid);
        if (writableByOthers(containerPath, container) && !(container.st_mode & S_ISVTX))
            return QStringLiteral("%1 can be replaced by other users").arg(entry);
        if (S_ISLNK(st.st_mode)) {
            char target[PATH_MAX];
            if (!realpath(native.constData(), target))
                return QStringLiteral("%1: %2").arg(entry, systemError());
            real = QFile::decodeName(target);
            if (const QString problem = ancestryProblem(real, links + 1); !problem.isEmpty())
                return problem;
            if (lstat(target, &st) != 0)
                return QStringLiteral("%1: %2").arg(real, systemError());
        } else {
            real = entry;
        }
        if (!S_ISDIR(st.st_mode))
            return {};
        container = st;
        containerPath = QFile::encodeName(real);
    }
    return {};
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
    if (writableByOthers(native, st))
        return QStringLiteral("%1 is writable by other users").arg(folder);
    if (const QString problem = ancestryProblem(folder); !problem.isEmpty())
        return problem;
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
