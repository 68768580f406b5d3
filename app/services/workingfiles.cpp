#include "services/workingfiles.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace korvane {

namespace {
// Where the file name's extension starts, or the end when it has none.
qsizetype extensionStart(const QString &path)
{
    const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > nameStart ? dot : path.size();
}
} // namespace

qint64 fileBytes(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() ? info.size() : 0;
}

qint64 copiedBytes(const QString &destination)
{
    if (const qint64 whole = fileBytes(destination); whole != 0)
        return whole;
    const QFileInfo target(destination);
    qint64 partial = 0;
    const QFileInfoList copies = target.dir().entryInfoList(
        {QStringLiteral(".durnix-*")}, QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo &copy : copies)
        partial = std::max(partial, copy.size());
    return partial;
}

QString withExtension(const QString &path, const QString &extension)
{
    return path.left(extensionStart(path)) + extension;
}

QString withNameSuffix(const QString &path, const QString &suffix)
{
    const qsizetype at = extensionStart(path);
    return path.left(at) + suffix + path.mid(at);
}

OpenFiles OpenFiles::in(const QString &folder, const QString &localCopy)
{
    return {localCopy, folder + QStringLiteral("temp.mp4"), folder + QStringLiteral("playing.mp4")};
}

} // namespace korvane
