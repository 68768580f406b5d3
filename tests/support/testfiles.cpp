#include "testfiles.h"

#include "samplerecordings.h"

#include <QFile>

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

ProgramRun run(const QString &program, const QStringList &arguments)
{
    ProgramRun result;
    result.out = runProgram(program, arguments, &result.exitCode, &result.err);
    return result;
}

QStringList ffprobeStreams(const QString &path, const QString &fields)
{
    const ProgramRun probe = run(QStringLiteral("ffprobe"),
                                 {"-v", "error", "-show_entries",
                                  QStringLiteral("stream=") + fields, "-of", "csv=p=0", path});
    return QString::fromUtf8(probe.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace korvane::test
