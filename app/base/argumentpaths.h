#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace korvane {

// The program's arguments after its name. A name the file system holds need not be UTF-8, but a
// QString cannot carry bytes that are not: such an argument that names a file or folder stands
// for it as "/proc/PID/fd/N" (its descriptor kept open for the run), which every path built on
// it reaches, in this process and in the tools it starts. Any other argument is read as UTF-8.
QStringList commandLineArguments(int argc, char **argv);

// A path as the user knows it, for standard output: a stand-in's own bytes back in place of
// "/proc/PID/fd/N".
QByteArray userPath(const QString &path);

// Whether a new file's name given on the command line could not be read: it is not UTF-8 and
// names nothing yet, so it cannot be made under that name.
bool isUnreadableName(const QString &argument);

} // namespace korvane
