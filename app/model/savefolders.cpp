#include "model/savefolders.h"

#include "base/userdefaults.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaEnum>
#include <QStandardPaths>

namespace korvane {

namespace {

QString kindKey(SaveFolders::Kind kind)
{
    return QString::fromLatin1(QMetaEnum::fromType<SaveFolders::Kind>().valueToKey(int(kind)))
        .toLower();
}

QStandardPaths::StandardLocation userFolder(SaveFolders::Kind kind)
{
    switch (kind) {
    case SaveFolders::Kind::Snapshots:
        return QStandardPaths::PicturesLocation;
    case SaveFolders::Kind::Routes:
        return QStandardPaths::DocumentsLocation;
    case SaveFolders::Kind::Recordings:
    case SaveFolders::Kind::Clips:
    case SaveFolders::Kind::Opened:
        break;
    }
    return QStandardPaths::MoviesLocation;
}

// The folder itself when it still exists, else the nearest folder above it that does.
QString existingFolder(QString folder)
{
    while (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent == folder)
            return {};
        folder = parent;
    }
    return folder;
}

} // namespace

SaveFolders::SaveFolders(QObject *parent) : QObject(parent) {}

QUrl SaveFolders::folderFor(Kind kind) const
{
    QString folder = UserSettings::lastFolder(kindKey(kind));
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        // The user's own folder for the kind, when the desktop made it; else the nearest folder
        // above a remembered one removed since (it is not made again).
        const QString own = QStandardPaths::writableLocation(userFolder(kind));
        folder = QFileInfo(own).isDir() ? own : existingFolder(folder);
    }
    if (folder.isEmpty())
        folder = QDir::homePath();
    return QUrl::fromLocalFile(folder);
}

void SaveFolders::remember(Kind kind, const QUrl &folder)
{
    if (folder.isLocalFile())
        UserSettings::setLastFolder(kindKey(kind), folder.toLocalFile());
}

void SaveFolders::rememberFolderOf(Kind kind, const QUrl &file)
{
    if (file.isLocalFile())
        UserSettings::setLastFolder(kindKey(kind), QFileInfo(file.toLocalFile()).absolutePath());
}

QString SaveFolders::shownPath(const QString &folder)
{
    const QString clean = QDir::cleanPath(folder);
    const QString home = QDir::cleanPath(QDir::homePath());
    if (clean == home)
        return QStringLiteral("~");
    if (clean.startsWith(home + QLatin1Char('/')))
        return QStringLiteral("~") + clean.mid(home.size());
    return clean;
}

QString SaveFolders::savedText(const QStringList &files, const QString &folder)
{
    if (files.size() == 1)
        return tr("%1 을(를) %2에 저장했습니다.")
            .arg(QFileInfo(files.front()).fileName(), shownPath(folder));
    return tr("%1개 파일을 %2에 저장했습니다.").arg(files.size()).arg(shownPath(folder));
}

} // namespace korvane
