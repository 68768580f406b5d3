#pragma once

#include <QString>

namespace korvane {

// Why the program at `path` could have been changed by someone other than root, or "" when it
// could not: resolved to its real path, it must be a regular file owned by root and writable by
// nobody else, in folders that are all owned by root and writable by nobody else. A set-user-ID
// program anywhere less guarded is a root shell for whoever can swap it. The resolved path, the
// one to run, goes to `resolved`.
QString rootOnlyProblem(const QString &path, QString *resolved);

// The same for a set-user-ID program: it must also have that bit.
QString setUserIdRootProblem(const QString &path, QString *resolved);

} // namespace korvane
