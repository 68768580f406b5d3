#pragma once

#include <QCoroTask>
#include <QString>

namespace korvane {

// What Korvane saves into the user's own folders: recordings, clips, routes. Nothing there is
// ever replaced: a name that is taken gives way to the next free one.

// The file name a card's recording is saved under: the listing's escapes undone, so that it is
// the name the dashcam gave it, with only what the folder's file system (`fileSystemType`, as
// QStorageInfo names it) cannot hold replaced by "_": a slash, control characters, bytes that
// are no UTF-8, and on FAT, exFAT and NTFS also " * : < > ? \ |. A name that would be hidden
// begins with "_" instead of its dot; an empty one is "recording". At most 255 bytes.
QString savedFileName(const QString &listedName, const QString &fileSystemType = {});

// The file system of the folder a file is saved into, for savedFileName.
QString folderFileSystem(const QString &folder);

// `name` with `suffix` before its extension ("a.mp4", "_2" → "a_2.mp4"), the base shortened
// (never within a character) so that the whole stays within `longest` bytes.
QString suffixedFileName(const QString &name, const QString &suffix, qsizetype longest = 255);

enum class Transfer
{
    move, // the made file is the working folder's and goes
    copy  // the made file stays (a card copy the player may still want)
};

struct SavedFile
{
    QString path;  // where it is now; empty when it was not saved
    QString error; // why not, in the file system's words
};

// Puts the finished file `made` at `wanted`, or, when that name is taken, at the first free one
// of "_2", "_3", ... before its extension. It appears there whole or not at all, holes stay
// holes, and nothing that was there is replaced, even when another program takes the name
// meanwhile. Blocking: see saveNewFile.
SavedFile saveAsNewFile(const QString &made, const QString &wanted, Transfer transfer);
// The same on a worker thread.
QCoro::Task<SavedFile> saveNewFile(QString made, QString wanted, Transfer transfer);

// Copies the whole of `from` into the empty file `to` (both open descriptors): the data as it
// is, holes left as holes, the length set at the end. An error text, or empty when done.
QString copyKeepingHoles(int from, int to);

} // namespace korvane
