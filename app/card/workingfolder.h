#pragma once

#include <QCoroTask>
#include <QString>
#include <QStringList>

namespace korvane {

// The viewer's working folder and the file work done in it: the card's copies ("cfg/", "mov/"),
// Korvane's own working files ("work/..."), and the copies, moves and removals that serve them.
// Called on the main thread; copies and moves run on a worker and resume the caller there.
class WorkingFolder
{
public:
    // The user's own cache folder + appName + "/". It is used only while it is the user's alone
    // (checked before every card load and copy).
    static QString tempRoot();
    // Another working folder for this process, before anything is copied (korvane-cli keeps out
    // of a running viewer's way with a folder of its own).
    static void useWorkingFolder(const QString &folder);
    // A folder of the working folder for Korvane's own files of one kind ("open", "download",
    // "picked", ...), made when missing: beside the card's copies ("cfg/", "mov/"), never among
    // them, so that no file of the card can take a working file's name. Ends with "/"; empty
    // when it cannot be made.
    static QString workFolder(const QString &purpose);

    static void ensureDirectoryExists(const QString &path);
    // Removes folders of the working folder without waiting for the disk: they are renamed
    // aside at once and deleted on a worker.
    static void removeInBackground(const QStringList &folders);
    static void deleteDirectory(const QString &path);
    static quint64 fileSize(const QString &path, bool relativeToTempRoot);

    // A failed copy leaves the destination as it was.
    static QCoro::Task<bool> copyFile(QString source, QString destination);
    static QCoro::Task<> renameFile(QString source, QString destination);
};

} // namespace korvane
