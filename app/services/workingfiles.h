#pragma once

#include <QString>

namespace korvane {

// The size of a file, 0 when there is none.
qint64 fileBytes(const QString &path);

// How much of a card file durnix has copied to `destination` so far: it writes beside it into a
// hidden ".durnix-" file and renames that into place whole.
qint64 copiedBytes(const QString &destination);

// `path` with the extension of its file name (from its last dot) replaced by `extension`
// (".mp4"), or `extension` added when the name has none; folders in the path are never touched.
QString withExtension(const QString &path, const QString &extension);

// `path` with `suffix` put between its file name's base and its extension: "a/b.mp4" and "2"
// give "a/b2.mp4".
QString withNameSuffix(const QString &path, const QString &suffix);

// The files an open of one recording makes from its local copy, in a working folder of their
// own: never beside the card's copies, where a card file could bear their names.
struct OpenFiles
{
    QString local;   // the copy from the card, kept
    QString temp;    // the playable MP4 made from it
    QString playing; // the temp file with its sound in AAC

    // The files made in `folder` (which ends with "/").
    static OpenFiles in(const QString &folder, const QString &localCopy);
};

} // namespace korvane
