#include "processmanager.h"

#include "applog.h"
#include "identity.h"
#include "shell.h"
#include "shellquote.h"

#include <QCoreApplication>
#include <QCoroFuture>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentRun>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {

namespace {

QString defaultBundledTools()
{
    // Next to the viewer in the build tree; in <prefix>/lib/korvane/ once installed.
    const QString here = QCoreApplication::applicationDirPath();
    if (QFileInfo::exists(here + QStringLiteral("/durnix")))
        return here + QLatin1Char('/');
    return here + QStringLiteral("/../lib/korvane/");
}

// A copy under a temporary name next to the destination, renamed over it only when whole.
QString copyReplacing(const QString &source, const QString &destination)
{
    const QString partial = destination + QStringLiteral(".partial");
    QFile::remove(partial);
    QFile from(source);
    if (!from.copy(partial))
        return from.errorString();
    if (std::rename(QFile::encodeName(partial).constData(),
                    QFile::encodeName(destination).constData()) != 0) {
        const QString error = QString::fromLocal8Bit(std::strerror(errno));
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

QCoro::Task<bool> ProcessManager::initializeTools()
{
    m_helperRoot = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                   QLatin1Char('/') + appName() + QLatin1Char('/');
    ensureDirectoryExists(m_helperRoot);
    ensureDirectoryExists(tempRoot());
    for (const char *tool : {"durnix", "ffmpeg", "salvex"})
        co_await installTool(QString::fromLatin1(tool));

    bool result = true;
    if (m_usesCardImage) {
        appLog("[ProcessManager] card image: durnix reads it with the user's own rights");
    } else {
        result = checkPrivilege(QStringLiteral("durnix"));
        if (!result)
            result = co_await authorizeExt4Tool(QStringLiteral("durnix"));
    }
    appLog("[ProcessManager] Initialization finished with success:", result);
    co_return result;
}

QCoro::Task<> ProcessManager::installTool(QString name)
{
    const QString bundled =
        (m_bundledTools.isEmpty() ? defaultBundledTools() : m_bundledTools) + name;
    if (!QFileInfo::exists(bundled))
        co_return;
    const QString destination = m_helperRoot + name;
    if (fileSize(destination, false) == static_cast<quint64>(QFileInfo(bundled).size())) {
        appLog("[ProcessManager]", destination, "-> already exists");
        co_return;
    }
    appLog("[ProcessManager]", destination, "-> copied");
    co_await copyFile(bundled, destination);
}

bool ProcessManager::checkPrivilege(const QString &name) const
{
    struct stat st
    {
    };
    const QString path = m_helperRoot + name;
    if (stat(QFile::encodeName(path).constData(), &st) != 0) {
        appLog("[ProcessManager] checkPrivilege error:",
               QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return st.st_uid == 0 && (st.st_mode & S_ISUID) != 0;
}

QCoro::Task<bool> ProcessManager::authorizeExt4Tool(QString name)
{
    const QString path = m_helperRoot + name;
    const QString command =
        QStringLiteral("chown root:root %1 && chmod u+s %1").arg(shellQuoted(path));
    // The administrator prompt; a viewer already running as root needs none.
    const QString line = geteuid() == 0
                             ? QStringLiteral("/bin/sh -c ") + shellQuoted(command)
                             : QStringLiteral("pkexec /bin/sh -c ") + shellQuoted(command);
    QString output;
    const int status =
        co_await Shell::runAsync(line, [&](const QString &chunk) { output += chunk; });
    if (status != 0) {
        appLog("[ProcessManager] authorizeExt4Tool error:", output.trimmed());
        co_return false;
    }
    appLog("[ProcessManager]", name, "authorized successfully");
    co_return true;
}

QCoro::Task<> ProcessManager::copyFile(QString source, QString destination)
{
    // The future is named before it is awaited: GCC 12 mishandles temporaries in co_await.
    QFuture<QString> copying =
        QtConcurrent::run([source, destination] { return copyReplacing(source, destination); });
    const QString error = co_await copying;
    if (!error.isEmpty())
        appLog("[FileExtractor] copy failed::", error);
}

QCoro::Task<> ProcessManager::renameFile(QString source, QString destination)
{
    QFuture<QString> moving =
        QtConcurrent::run([source, destination] { return moveReplacing(source, destination); });
    const QString error = co_await moving;
    if (!error.isEmpty())
        appLog("[FileExtractor] rename failed::", error);
}

} // namespace korvane
