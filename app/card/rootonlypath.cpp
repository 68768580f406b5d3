#include "card/rootonlypath.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace korvane {

namespace {

bool ownedByRootAlone(const struct stat &st)
{
    return st.st_uid == 0 && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

} // namespace

QString rootOnlyProblem(const QString &path, QString *resolved)
{
    char real[PATH_MAX];
    if (!realpath(QFile::encodeName(path).constData(), real))
        return QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    const QString file = QFile::decodeName(real);
    struct stat st
    {
    };
    if (lstat(real, &st) != 0 || !S_ISREG(st.st_mode))
        return QStringLiteral("%1 is not a regular file").arg(file);
    if (!ownedByRootAlone(st))
        return QStringLiteral("%1 is not owned by root alone").arg(file);
    for (QString folder = file; folder != QLatin1String("/");) {
        folder = folder.left(qMax<qsizetype>(1, folder.lastIndexOf(QLatin1Char('/'))));
        if (lstat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            !ownedByRootAlone(st))
            return QStringLiteral("the folder %1 is not owned by root alone").arg(folder);
    }
    *resolved = file;
    return {};
}

QString setUserIdRootProblem(const QString &path, QString *resolved)
{
    const QString problem = rootOnlyProblem(path, resolved);
    if (!problem.isEmpty())
        return problem;
    struct stat st
    {
    };
    if (stat(QFile::encodeName(*resolved).constData(), &st) != 0 || !(st.st_mode & S_ISUID))
        return QStringLiteral("%1 is not set-user-ID").arg(*resolved);
    return {};
}

} // namespace korvane
