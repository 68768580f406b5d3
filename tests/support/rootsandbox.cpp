#include "rootsandbox.h"

#include <QFile>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace korvane::test {

QString rootSandboxUnavailable(const QString &folder)
{
    if (geteuid() != 0)
        return QStringLiteral("needs root");
    struct statvfs fileSystem
    {
    };
    if (statvfs(QFile::encodeName(folder).constData(), &fileSystem) != 0 ||
        (fileSystem.f_flag & ST_NOSUID))
        return QStringLiteral("the temporary folder is mounted nosuid");
    if (runWithPrivateMounts(QStringLiteral("mount -t tmpfs none /mnt")).exitCode != 0)
        return QStringLiteral("no private mount namespaces here");
    return {};
}

ProgramRun runWithPrivateMounts(const QString &script, const QStringList &arguments)
{
    return run(QStringLiteral("unshare"),
               QStringList{"--mount", "--propagation", "private", "/bin/sh", "-c", script, "sh"} +
                   arguments);
}

QStringList asNobody(const QString &program, const QStringList &arguments)
{
    return QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", program} +
           arguments;
}

QString setUserIdCopy(const QString &program, const QString &folder)
{
    chmod(QFile::encodeName(folder).constData(), 0755);
    const QString copy = folder + QStringLiteral("/") + program.section(QLatin1Char('/'), -1);
    QFile::remove(copy);
    if (!QFile::copy(program, copy) || chown(QFile::encodeName(copy).constData(), 0, 0) != 0 ||
        chmod(QFile::encodeName(copy).constData(), 04755) != 0)
        return {};
    return copy;
}

} // namespace korvane::test
