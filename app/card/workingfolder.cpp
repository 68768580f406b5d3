#include "card/workingfolder.h"

#include "base/applog.h"
#include "base/background.h"
#include "base/identity.h"
#include "card/privatefolder.h"
#include "card/savedfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {

namespace {

QString &workingRoot()
{
    // Per user: a shared temporary folder would let another user plant links where the viewer
    // copies the card's files.
    static QString root = userCacheFolder() + QLatin1Char('/') + appName() + QLatin1Char('/');
    return root;
}

int removeEntry(const char *path, const struct stat *, int, FTW *)
{
    return remove(path) == 0 || errno == ENOENT ? 0 : errno;
}

// A copy under a temporary name next to the destination, renamed over it only when whole; holes
// stay holes and the permissions come along (a tool stays executable).
QString copyReplacing(const QString &source, const QString &destination)
{
    const QString partial = destination + QStringLiteral(".partial");
    QFile::remove(partial);
    const int from = open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (from < 0)
        return QStringLiteral("cannot read %1: %2")
            .arg(source, QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st
    {
    };
    fstat(from, &st);
    const int to = open(QFile::encodeName(partial).constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777);
    if (to < 0) {
        const QString error = QString::fromLocal8Bit(std::strerror(errno));
        close(from);
        return QStringLiteral("cannot write %1: %2").arg(partial, error);
    }
    QString error = copyKeepingHoles(from, to);
    close(from);
    if (close(to) != 0 && error.isEmpty())
        error = QString::fromLocal8Bit(std::strerror(errno));
    if (!error.isEmpty()) {
        QFile::remove(partial);
        return error;
    }
    if (std::rename(QFile::encodeName(partial).constData(),
                    QFile::encodeName(destination).constData()) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(partial);
        return error;
    }
    return {};
}

QString moveReplacing(const QString &source, const QString &destination)
{
    if (std::rename(QFile::encodeName(source).constData(),
                    QFile::encodeName(destination).constData()) == 0)
        return {};
    if (errno != EXDEV)
        return QString::fromLocal8Bit(std::strerror(errno));
    // Another file system: copy, then remove the source.
    const QString error = copyReplacing(source, destination);
    if (error.isEmpty() && !QFile::remove(source))
        return QStringLiteral("cannot remove %1").arg(source);
    return error;
}

} // namespace

QString WorkingFolder::tempRoot()
{
    return workingRoot();
}

void WorkingFolder::useWorkingFolder(const QString &folder)
{
    workingRoot() = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString WorkingFolder::workFolder(const QString &purpose)
{
    const QString relative = QStringLiteral("work/") + purpose;
    QString why;
    if (!makeSubfolders(tempRoot(), relative, &why)) {
        appLog(logCard, "[FileExtractor]", why);
        return {};
    }
    return tempRoot() + relative + QLatin1Char('/');
}

void WorkingFolder::ensureDirectoryExists(const QString &path)
{
    if (QFileInfo::exists(path))
        return;
    if (QDir().mkpath(path))
        appLog(logCard, "[FileExtractor] ensureDirectoryExists", path);
    else
        appLog(logCard, "[FileExtractor]", QStringLiteral("cannot create %1").arg(path));
}

void WorkingFolder::removeInBackground(const QStringList &folders)
{
    // Set aside at once and removed on a worker: the previous card's copies can be gigabytes,
    // and a card load must not wait for the disk to free them. Folders set aside by a viewer
    // that quit before they were gone go too.
    QStringList aside =
        QDir(tempRoot()).entryList({QStringLiteral(".removed-*")}, QDir::AllEntries | QDir::Hidden);
    for (QString &name : aside)
        name = tempRoot() + name;
    for (const QString &folder : folders) {
        const QString path = tempRoot() + folder;
        const QString moved = tempRoot() + QStringLiteral(".removed-") +
                              QString(folder).replace(QLatin1Char('/'), QLatin1Char('-')) +
                              QLatin1Char('-') + QUuid::createUuid().toString(QUuid::Id128);
        if (std::rename(QFile::encodeName(path).constData(),
                        QFile::encodeName(moved).constData()) == 0)
            aside.append(moved);
        else
            deleteDirectory(path);
    }
    if (!aside.isEmpty())
        runInBackground([aside] {
            for (const QString &path : aside)
                deleteDirectory(path);
        });
}

void WorkingFolder::deleteDirectory(const QString &path)
{
    // Deepest first, and physically: a link inside is removed, never what it points to
    // (QDir::removeRecursively follows links to folders and empties them).
    const QByteArray native = QFile::encodeName(path);
    struct stat st
    {
    };
    if (lstat(native.constData(), &st) != 0)
        return;
    if (const int error = nftw(native.constData(), removeEntry, 16, FTW_DEPTH | FTW_PHYS))
        appLog(logCard, "[FileExtractor] deleteDirectory failed:",
               QStringLiteral("cannot remove %1: %2")
                   .arg(path, QString::fromLocal8Bit(std::strerror(error))));
}

quint64 WorkingFolder::fileSize(const QString &path, bool relativeToTempRoot)
{
    const QFileInfo info(relativeToTempRoot ? tempRoot() + path : path);
    return info.isFile() ? static_cast<quint64>(info.size()) : 0;
}

QCoro::Task<bool> WorkingFolder::copyFile(QString source, QString destination)
{
    // The future is named before it is awaited: GCC 12 mishandles temporaries in co_await.
    QCoro::Task<QString> copying =
        inBackground([source, destination] { return copyReplacing(source, destination); });
    const QString error = co_await copying;
    if (!error.isEmpty())
        appLog(logCard, "[FileExtractor] copy failed::", error);
    co_return error.isEmpty();
}

QCoro::Task<> WorkingFolder::renameFile(QString source, QString destination)
{
    QCoro::Task<QString> moving =
        inBackground([source, destination] { return moveReplacing(source, destination); });
    const QString error = co_await moving;
    if (!error.isEmpty())
        appLog(logCard, "[FileExtractor] rename failed::", error);
}

} // namespace korvane
