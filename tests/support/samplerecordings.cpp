#include "samplerecordings.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

namespace korvane::test {

QString dashcamSamplePath()
{
    return QStringLiteral(DASHCAM_SAMPLE_PATH);
}

QByteArray runProgram(const QString &program, const QStringList &arguments, int *exitCode,
                      QByteArray *standardError)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(300000)) {
        *exitCode = -1;
        return {};
    }
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    if (standardError)
        *standardError = process.readAllStandardError();
    return process.readAllStandardOutput();
}

QString generateRecording(const QString &folder, const QStringList &arguments)
{
    int exitCode = 0;
    QByteArray errors;
    const QByteArray out =
        runProgram(dashcamSamplePath(), arguments + QStringList{folder + QLatin1Char('/')},
                   &exitCode, &errors);
    EXPECT_EQ(exitCode, 0) << errors.constData();
    if (exitCode != 0)
        return {};
    return QString::fromUtf8(out).trimmed();
}

namespace {
// A folder of the build tree's sample cache for one set of generator arguments and one build
// of the generator: a rebuilt generator never serves stale samples.
QString cacheFolder(const QStringList &arguments)
{
    const QFileInfo generator(dashcamSamplePath());
    QCryptographicHash key(QCryptographicHash::Sha1);
    key.addData(arguments.join(QLatin1Char('\n')).toUtf8());
    key.addData(generator.lastModified().toString(Qt::ISODateWithMs).toUtf8());
    const QString folder =
        QStringLiteral(SAMPLE_CACHE_DIR "/") + QString::fromLatin1(key.result().toHex());
    QDir().mkpath(folder);
    return folder;
}
} // namespace

QString sampleRecording(const QStringList &arguments)
{
    const QString folder = cacheFolder(arguments);
    // Hidden entries are a generator's scratch space; the recording appears by rename, whole.
    const QStringList existing = QDir(folder).entryList(QDir::Files);
    if (existing.size() == 1)
        return QDir(folder).filePath(existing.first());
    return generateRecording(folder, arguments);
}

QString sampleCardImage(const QStringList &arguments)
{
    const QString image =
        cacheFolder(QStringList{"card"} + arguments) + QStringLiteral("/card.img");
    if (QFileInfo::exists(image))
        return image;
    int exitCode = 0;
    QByteArray errors;
    runProgram(dashcamSamplePath(), QStringList{"card"} + arguments + QStringList{image}, &exitCode,
               &errors);
    EXPECT_EQ(exitCode, 0) << errors.constData();
    return exitCode == 0 ? image : QString();
}

} // namespace korvane::test
