#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace korvane::test {

// A file's bytes; empty when it cannot be read.
QByteArray readFile(const QString &path);

// Writes a file whole; a failure fails the current test.
void writeFile(const QString &path, const QByteArray &bytes);

struct ProgramRun
{
    int exitCode = -1; // -1 when the program crashed or did not end
    QByteArray out;
    QByteArray err;
};

// Runs a program to its end; with `environment`, in that environment instead of this process's;
// with `workingFolder`, there instead of here.
ProgramRun run(const QString &program, const QStringList &arguments,
               const QProcessEnvironment &environment = {}, const QString &workingFolder = {});

// What ffmpeg complains about while decoding every stream of a file; empty for a clean file.
QByteArray decodeErrors(const QString &path);

// ffprobe's "-show_entries stream=<fields>" as one CSV line per stream, in ffprobe's field order.
QStringList ffprobeStreams(const QString &path, const QString &fields);

// The MD5 of every decoded picture of a file's `stream`-th video stream, in output order, joined
// by blanks: equal for two files exactly when they decode to the same pictures.
QByteArray pictureChecksums(const QString &path, int stream = 0);

// How long a file's sound lasts when decoded (mono, 8 kHz samples counted).
double decodedSeconds(const QString &path);

} // namespace korvane::test
