#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace korvane {

// Where the save and open dialogs start: the folder last chosen for that kind of file, else the
// user's own folder for it (Pictures for snapshots, Videos for recordings and clips, Documents for
// routes), never the program's working folder. A remembered folder removed since gives way to the
// user's own folder, or when that is missing too, to the nearest folder above it. Main thread only.
class SaveFolders : public QObject
{
    Q_OBJECT

public:
    enum class Kind
    {
        Snapshots,
        Routes,
        Recordings, // downloads
        Clips,
        Opened // recordings opened from the computer
    };
    Q_ENUM(Kind)

    explicit SaveFolders(QObject *parent = nullptr);

    // The folder a dialog for that kind opens in; it exists.
    Q_INVOKABLE QUrl folderFor(korvane::SaveFolders::Kind kind) const;
    Q_INVOKABLE void remember(korvane::SaveFolders::Kind kind, const QUrl &folder);
    // Remembers the folder that holds `file`.
    Q_INVOKABLE void rememberFolderOf(korvane::SaveFolders::Kind kind, const QUrl &file);

    // A folder as messages show it: under the home folder as "~/Videos/dashcam".
    static QString shownPath(const QString &folder);
    // The message after a save: one file by its name, several by their number, and the folder.
    static QString savedText(const QStringList &files, const QString &folder);
};

} // namespace korvane
