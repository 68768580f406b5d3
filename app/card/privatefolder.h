#pragma once

#include <QString>

namespace korvane {

// The user's home, cache and data folders. Only absolute paths are taken from HOME,
// XDG_CACHE_HOME and XDG_DATA_HOME: a relative one would put the viewer's folders wherever it
// happened to start. Without a usable HOME the home folder comes from the password database.
QString userHomeFolder();
QString userCacheFolder();
QString userDataFolder();

// Makes `path` (and its missing parents) and checks, without following links, that it is the
// user's alone: a real folder owned by the user and writable by nobody else, on a way that only
// the user or root can change. Such a folder is then set to mode 0700. Returns "" when the folder
// can be used, else why not: a folder made or swapped by someone else could lead the viewer's
// copies wherever they like.
QString preparePrivateFolder(const QString &path);

// Makes each missing folder of `relative` below the private folder `root`, never through a link.
// False, with the reason in `why`, when a part exists and is not a real folder.
bool makeSubfolders(const QString &root, const QString &relative, QString *why);

} // namespace korvane
