#include "samplerecordings.h"

#include "testfiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace korvane::test {

QString dashcamSamplePath()
{
    return QStringLiteral(DASHCAM_SAMPLE_PATH);
}

QString generateRecording(const QString &folder, const QStringList &arguments)
{
    const ProgramRun sample =
        run(dashcamSamplePath(), arguments + QStringList{folder + QLatin1Char('/')});
    EXPECT_EQ(sample.exitCode, 0) << sample.err.constData();
    if (sample.exitCode != 0)
        return {};
    return QString::fromUtf8(sample.out).trimmed();
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
    const ProgramRun card =
        run(dashcamSamplePath(), QStringList{"card"} + arguments + QStringList{image});
    EXPECT_EQ(card.exitCode, 0) << card.err.constData();
    return card.exitCode == 0 ? image : QString();
}

} // namespace korvane::test
