// The metadata of recordings that dashcam-sample writes, in both of the dashcam's shapes, through
// the extraction and through korvane-cli.
#include "records/gpxtrack.h"
#include "records/mediarecords.h"
#include "records/metadataextraction.h"
#include "records/nmea.h"
#include "samplerecordings.h"
#include "testfiles.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace korvane;
using korvane::test::generateRecording;
using korvane::test::sampleRecording;

namespace {

struct Sample
{
    QStringList arguments;
    int channels;
    int seconds;
    bool gps;
    bool shock;
};

// Four seconds of three cameras in an event recording; one bare camera; all five.
const Sample samples[] = {
    {{"--channels", "3", "--seconds", "4", "--type", "event", "--time", "20241005_143012"},
     3,
     4,
     true,
     true},
    {{"--channels", "1", "--seconds", "3", "--no-gps", "--no-sound", "--ch1", "320x240@30"},
     1,
     3,
     false,
     false},
    {{"--channels", "5", "--seconds", "2", "--type", "park"}, 5, 2, true, false},
};

class RecordingMetadata : public testing::TestWithParam<size_t>
{
protected:
    void SetUp() override
    {
        const Sample &sample = samples[GetParam()];
        m_finished = sampleRecording(sample.arguments);
        m_unfinished = sampleRecording(sample.arguments + QStringList{"--unfinished"});
        ASSERT_FALSE(m_finished.isEmpty());
        ASSERT_FALSE(m_unfinished.isEmpty());
    }

    QString m_finished;
    QString m_unfinished;
};

QList<QJsonObject> ofType(const MediaRecords &records, const char *type)
{
    QList<QJsonObject> out;
    for (const QJsonObject &r : records) {
        if (r.value(QLatin1String("type")).toString() == QLatin1String(type))
            out.append(r);
    }
    return out;
}

bool checksumMatches(const QString &sentence)
{
    const qsizetype star = sentence.indexOf(u'*');
    if (!sentence.startsWith(u'$') || star < 0)
        return false;
    unsigned checksum = 0;
    for (qsizetype i = 1; i < star; ++i)
        checksum ^= sentence[i].unicode();
    return sentence.mid(star + 1).toUInt(nullptr, 16) == checksum;
}

} // namespace

TEST_P(RecordingMetadata, FindsEveryRecordTheDashcamWroteInBothShapes)
{
    const Sample &sample = samples[GetParam()];
    const MediaRecords finished = extractMediaRecords(m_finished);
    const MediaRecords unfinished = extractMediaRecords(m_unfinished);
    EXPECT_EQ(finished, unfinished);

    const auto tables = ofType(finished, "video_info");
    ASSERT_EQ(tables.size(), 1);
    EXPECT_EQ(tables[0].value(QLatin1String("channelCount")).toInt(), sample.channels);
    EXPECT_EQ(tables[0].value(QLatin1String("channels")).toArray().size(), sample.channels);

    EXPECT_EQ(ofType(finished, "gps_info").size(), sample.gps ? sample.seconds : 0);
    EXPECT_EQ(ofType(finished, "gsensor_info").size(), sample.seconds * 10);
    EXPECT_EQ(finished.size(), 1 + (sample.gps ? sample.seconds : 0) + sample.seconds * 10)
        << "no record may come from chance bytes in the pictures or the sound";

    const MediaDataDecoding decoded = decodeMediaData(mediaRecordsJson(finished));
    ASSERT_TRUE(decoded.records.has_value()) << decoded.error.toStdString();
}

TEST_P(RecordingMetadata, GpsFollowsTheRouteOncePerSecondOnTheUtcClock)
{
    const Sample &sample = samples[GetParam()];
    const auto fixes = ofType(extractMediaRecords(m_finished), "gps_info");
    if (!sample.gps) {
        EXPECT_TRUE(fixes.isEmpty());
        return;
    }
    ASSERT_FALSE(fixes.isEmpty());
    const QString start =
        rmcTimestamp(fixes[0].value(QLatin1String("nmea")).toString(), false).value_or(QString());
    if (sample.arguments.contains(QLatin1String("20241005_143012"))) {
        EXPECT_EQ(start, QLatin1String("2024-10-05 05:30:12"))
            << "the dashcam clock runs on Korean time";
    }
    const QDateTime first = QDateTime::fromString(start, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    for (qsizetype i = 0; i < fixes.size(); ++i) {
        const QString sentence = fixes[i].value(QLatin1String("nmea")).toString();
        EXPECT_TRUE(checksumMatches(sentence)) << sentence.toStdString();
        const auto fix = decodeRMC(sentence);
        ASSERT_TRUE(fix.has_value()) << sentence.toStdString();
        EXPECT_NEAR(fix->latitude, 37.51, 0.02);
        EXPECT_NEAR(fix->longitude, 127.04, 0.03);
        EXPECT_EQ(rmcTimestamp(sentence, false),
                  first.addSecs(i).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    }
    EXPECT_GT(decodeRMC(fixes.last().value(QLatin1String("nmea")).toString())->speedKmh, 5.0)
        << "the car pulls away from the start";
}

TEST_P(RecordingMetadata, GSensorRunsAtTenHertzWithAShockOnlyInEvents)
{
    const Sample &sample = samples[GetParam()];
    const auto samplesFound = ofType(extractMediaRecords(m_unfinished), "gsensor_info");
    ASSERT_EQ(samplesFound.size(), sample.seconds * 10);
    int strongest = 0;
    for (qsizetype i = 0; i < samplesFound.size(); ++i) {
        const QJsonObject accel = samplesFound[i].value(QLatin1String("accel")).toObject();
        for (const char *axis : {"x", "y", "z"})
            strongest = std::max(strongest, std::abs(accel.value(QLatin1String(axis)).toInt()));
        if (i % 10 != 0) {
            EXPECT_EQ(samplesFound[i].value(QLatin1String("timestamp")),
                      samplesFound[i - 1].value(QLatin1String("timestamp")));
        }
    }
    if (sample.shock)
        EXPECT_GT(strongest, 60);
    else
        EXPECT_LT(strongest, 10);
}

INSTANTIATE_TEST_SUITE_P(Samples, RecordingMetadata, testing::Range<size_t>(0, std::size(samples)));

namespace {
QByteArray runCli(const QStringList &arguments, int *exitCode)
{
    const korvane::test::ProgramRun cli =
        korvane::test::run(QStringLiteral(KORVANE_CLI_PATH), arguments);
    *exitCode = cli.exitCode;
    return cli.out;
}
} // namespace

TEST(KorvaneCli, MetadataPrintsTheRecordsTheViewerLoads)
{
    QTemporaryDir folder;
    const QString path =
        generateRecording(folder.path(), {"--channels", "2", "--seconds", "2", "--unfinished"});
    int exitCode = -1;
    const QByteArray json = runCli({"metadata", path}, &exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(json, mediaRecordsJson(extractMediaRecords(path)));
    EXPECT_EQ(QJsonDocument::fromJson(json).array().size(), 1 + 2 + 20);
}

TEST(KorvaneCli, GpxHasOnePointPerFix)
{
    QTemporaryDir folder;
    const QString path =
        generateRecording(folder.path(), {"--channels", "1", "--seconds", "3", "--no-sound"});
    int exitCode = -1;
    const QByteArray gpx = runCli({"gpx", path}, &exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(gpx, gpxTrack(extractMediaRecords(path), QStringLiteral("N_20241005_143012.mp4")));
    EXPECT_EQ(gpx.count("<trkpt "), 3);
    EXPECT_TRUE(gpx.contains("<time>2024-10-05T05:30:14Z</time>"));
}
