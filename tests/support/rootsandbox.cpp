#include "rootsandbox.h"

#include <QFile>

#include <grp.h>
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

QStringList asNobody(const QString &program, const QStringList &arguments,
                     const QList<gid_t> &groups)
{
    QStringList numbers;
    for (const gid_t group : groups)
        numbers.append(QString::number(group));
    const QString groupOption = groups.isEmpty() ? QStringLiteral("--clear-groups")
                                                 : QStringLiteral("--groups=") + numbers.join(',');
    // Through a shell: setpriv keeps root's capabilities up to its own exec, so the program's
    // permission to run would be judged as root's.
    return QStringList{"setpriv", "--reuid=65534",      "--regid=65534", groupOption, "/bin/sh",
                       "-c",      "exec \"$0\" \"$@\"", program} +
           arguments;
}

std::optional<gid_t> groupId(const QString &name)
{
    if (const group *found = getgrnam(name.toUtf8().constData()))
        return found->gr_gid;
    return std::nullopt;
}

QString setUserIdCopy(const QString &program, const QString &folder, gid_t group, mode_t mode)
{
    chmod(QFile::encodeName(folder).constData(), 0755);
    const QString copy = folder + QStringLiteral("/") + program.section(QLatin1Char('/'), -1);
    QFile::remove(copy);
    if (!QFile::copy(program, copy) || chown(QFile::encodeName(copy).constData(), 0, group) != 0 ||
        chmod(QFile::encodeName(copy).constData(), mode) != 0)
        return {};
    return copy;
}

} // namespace korvane::test
