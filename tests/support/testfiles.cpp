#include "testfiles.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace korvane::test {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
}

ProgramRun run(const QString &program, const QStringList &arguments,
               const QProcessEnvironment &environment, const QString &workingFolder)
{
    ProgramRun result;
    QProcess process;
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
    process.start(program, arguments);
    if (!process.waitForFinished(300000))
        return result;
    if (process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QByteArray decodeErrors(const QString &path)
{
    const ProgramRun decode =
        run(QStringLiteral("ffmpeg"), {"-v", "error", "-i", path, "-map", "0", "-f", "null", "-"});
    QByteArray errors = decode.err;
    if (decode.exitCode != 0)
        errors += "ffmpeg exit " + QByteArray::number(decode.exitCode);
    return errors;
}

QStringList ffprobeStreams(const QString &path, const QString &fields)
{
    const ProgramRun probe = run(QStringLiteral("ffprobe"),
                                 {"-v", "error", "-show_entries",
                                  QStringLiteral("stream=") + fields, "-of", "csv=p=0", path});
    return QString::fromUtf8(probe.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace korvane::test

namespace korvane::test {

QByteArray pictureChecksums(const QString &path, int stream)
{
    const QByteArray md5 =
        run(QStringLiteral("ffmpeg"),
            {"-v", "error", "-i", path, "-map", QStringLiteral("0:v:%1").arg(stream), "-fps_mode",
             "passthrough", "-f", "framemd5", "-"})
            .out;
    QByteArrayList sums;
    for (const QByteArray &line : md5.split('\n')) {
        if (!line.startsWith('#') && !line.isEmpty())
            sums << line.split(',').last().trimmed();
    }
    return sums.join(' ');
}

double decodedSeconds(const QString &path)
{
    const QByteArray pcm = run(QStringLiteral("ffmpeg"), {"-v", "error", "-i", path, "-f", "s16le",
                                                          "-ac", "1", "-ar", "8000", "-"})
                               .out;
    return static_cast<double>(pcm.size()) / 2 / 8000;
}

} // namespace korvane::test
