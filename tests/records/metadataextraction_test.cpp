#include "records/metadataextraction.h"
#include "referencescan.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <random>

using namespace korvane;
using korvane::test::referenceScan;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

const QByteArray rmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
const QByteArray shockPayload =
    bytes({0x00, 0x80, 0x7f, 0x81, 0, 0, 0, 0x18, 0x01, 0x1f, 0x0d, 0x05, 0x09, 0, 0});

QByteArray frame(const char *tag, const QByteArray &payload)
{
    return QByteArray(tag) + QByteArray::number(payload.size()).rightJustified(5, '0') + payload;
}

QStringList types(const MediaRecords &records)
{
    QStringList out;
    for (const QJsonObject &r : records)
        out.append(r.value(QLatin1String("type")).toString());
    return out;
}

} // namespace

TEST(MetadataScan, GpsSentenceLosesItsLineEnd)
{
    const MediaRecords records = scanMediaRecords("junk" + frame("GPS", rmc + "\r\n") + "tail");
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].value(QLatin1String("type")).toString(), QLatin1String("gps_info"));
    EXPECT_EQ(records[0].value(QLatin1String("nmea")).toString(), QString::fromLatin1(rmc));
}

TEST(MetadataScan, RecordsAreListedByTagThenFileOrder)
{
    const QByteArray data = frame("SHO", shockPayload) + frame("GPS", "$GPRMC,1") +
                            frame("DAT", "vid:[1]640.360.30") + frame("GPS", "$GPRMC,2") +
                            frame("DAT", "vid:[2]1.2.3:4.5.6") + frame("SHO", shockPayload);
    const MediaRecords records = scanMediaRecords(data);
    EXPECT_EQ(types(records), (QStringList{"video_info", "video_info", "gps_info", "gps_info",
                                           "gsensor_info", "gsensor_info"}));
    EXPECT_EQ(records[0].value(QLatin1String("channelCount")).toInt(), 1);
    EXPECT_EQ(records[1].value(QLatin1String("channelCount")).toInt(), 2);
    EXPECT_EQ(records[2].value(QLatin1String("nmea")).toString(), QLatin1String("$GPRMC,1"));
    EXPECT_EQ(records[3].value(QLatin1String("nmea")).toString(), QLatin1String("$GPRMC,2"));
}

TEST(MetadataScan, ShockSampleDecodesAxesAndClock)
{
    const MediaRecords records = scanMediaRecords(frame("SHO", shockPayload));
    ASSERT_EQ(records.size(), 1);
    const QJsonObject accel = records[0].value(QLatin1String("accel")).toObject();
    EXPECT_EQ(accel.value(QLatin1String("x")).toInt(), 0);
    EXPECT_EQ(accel.value(QLatin1String("y")).toInt(), -1);
    EXPECT_EQ(accel.value(QLatin1String("z")).toInt(), 1);
    EXPECT_EQ(records[0].value(QLatin1String("timestamp")).toString(),
              QLatin1String("2024-01-31 13:05:09"));
}

TEST(MetadataScan, ShortShockSampleIsSkippedAndTheSearchGoesOnAfterIt)
{
    // The 14 bytes hide a tag that would be found if the search resumed inside them.
    const QByteArray hidden = QByteArray("SHO00015").append(6, '\0');
    ASSERT_EQ(hidden.size(), 14);
    const MediaRecords records =
        scanMediaRecords(QByteArray("SHO00014") + hidden + frame("SHO", shockPayload));
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].value(QLatin1String("timestamp")).toString(),
              QLatin1String("2024-01-31 13:05:09"));
}

TEST(MetadataScan, UnreadableLengthResumesRightAfterIt)
{
    EXPECT_EQ(scanMediaRecords("GPSABCDE" + frame("GPS", "$GPRMC,x")).size(), 1);
    // A tag straight after an unreadable length field is still found.
    EXPECT_EQ(scanMediaRecords("GPS0 001" + frame("GPS", "$GPRMC,x")).size(), 1);
    // The search resumes after the whole bad field, past a tag that begins inside it.
    EXPECT_TRUE(scanMediaRecords("GPS\xc3\xa9"
                                 "GPS00002ab")
                    .isEmpty());
}

TEST(MetadataScan, NegativeLengthDoesNotStallTheScan)
{
    const MediaRecords records = scanMediaRecords("GPS-0001" + frame("GPS", "$GPRMC,ok"));
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].value(QLatin1String("nmea")).toString(), QLatin1String("$GPRMC,ok"));
    EXPECT_TRUE(scanMediaRecords("DAT-9999").isEmpty());
}

TEST(MetadataScan, SignedLengthIsRead)
{
    const MediaRecords records = scanMediaRecords("GPS+0003abc");
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].value(QLatin1String("nmea")).toString(), QLatin1String("abc"));
}

TEST(MetadataScan, TruncatedFrameEndsOnlyItsOwnTag)
{
    const QByteArray data = frame("GPS", "$GPRMC,a") + frame("SHO", shockPayload) +
                            "DAT00100vid:[1]1.1.1" + frame("GPS", "$GPRMC,b");
    const MediaRecords records = scanMediaRecords(data);
    EXPECT_EQ(types(records), (QStringList{"gps_info", "gps_info", "gsensor_info"}));
    // A length field cut by the end of the file ends that tag too.
    EXPECT_EQ(types(scanMediaRecords(frame("GPS", "a") + "GPS000")), (QStringList{"gps_info"}));
}

TEST(MetadataScan, FrameEndingExactlyAtTheEndOfTheFileIsRead)
{
    EXPECT_EQ(scanMediaRecords(frame("GPS", "tail")).size(), 1);
    EXPECT_EQ(scanMediaRecords("GPS00000").size(), 1) << "an empty sentence is still a record";
    EXPECT_TRUE(scanMediaRecords("GPS0000").isEmpty());
    EXPECT_TRUE(scanMediaRecords("").isEmpty());
}

TEST(MetadataScan, OverlappingTagsAreEachFound)
{
    // "GPSHO..." holds a GPS tag and, two bytes on, a SHO tag.
    const QByteArray data = "GPSHO00015" + shockPayload;
    EXPECT_EQ(types(scanMediaRecords(data)), (QStringList{"gsensor_info"}));
}

TEST(MetadataScan, PayloadsThatAreNotAsciiGiveNoRecord)
{
    EXPECT_TRUE(scanMediaRecords(frame("GPS", "$GPRMC,\xff")).isEmpty());
    EXPECT_TRUE(scanMediaRecords(frame("DAT", "vid:[1]1.1.1\x80")).isEmpty());
}

TEST(DecodeFrame, GpsSentenceTrimsControlsThenBlanks)
{
    const auto nmea = [](const QByteArray &payload) {
        return decodeFrame("GPS", payload)->value(QLatin1String("nmea")).toString();
    };
    EXPECT_EQ(nmea("\x01\x02$GPRMC,1\r\n\x00"), QLatin1String("$GPRMC,1"));
    EXPECT_EQ(nmea(" $GPRMC,1 \t"), QLatin1String("$GPRMC,1"));
    EXPECT_EQ(nmea(" \x01$GPRMC"), QLatin1String("\x01$GPRMC"));
    EXPECT_EQ(nmea(""), QString());
}

TEST(DecodeFrame, ChannelTableKeepsOnlyValidEntries)
{
    const auto record = decodeFrame("DAT", "ver:2.1 vid:[3]1920.1080.30:0.720.30::1280.720,gps:on");
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->value(QLatin1String("channelCount")).toInt(), 3);
    const QJsonArray channels = record->value(QLatin1String("channels")).toArray();
    ASSERT_EQ(channels.size(), 1);
    EXPECT_EQ(channels[0].toObject().value(QLatin1String("width")).toInt(), 1920);
    EXPECT_EQ(channels[0].toObject().value(QLatin1String("height")).toInt(), 1080);
    EXPECT_EQ(channels[0].toObject().value(QLatin1String("fps")).toInt(), 30);
}

TEST(DecodeFrame, ChannelTableWithoutValidEntriesHasNoChannelsKey)
{
    const auto record = decodeFrame("DAT", "vid:[2]0.0.0:1.2");
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->value(QLatin1String("channelCount")).toInt(), 2);
    EXPECT_FALSE(record->contains(QLatin1String("channels")));
    EXPECT_FALSE(decodeFrame("DAT", "vid:2]1.1.1").has_value());
    EXPECT_FALSE(decodeFrame("DAT", "vid:[]1.1.1").has_value());
    // Numbers too large to be a size are as unreadable as letters.
    const auto huge = decodeFrame("DAT", "vid:[99999999999]99999999999.1.1:2.2.2.");
    ASSERT_TRUE(huge.has_value());
    EXPECT_EQ(huge->value(QLatin1String("channelCount")).toInt(), 0);
    EXPECT_EQ(huge->value(QLatin1String("channels")).toArray().size(), 1);
}

TEST(DecodeFrame, ShockSampleBytesArePrintedWithoutRangeChecks)
{
    QByteArray payload = shockPayload + "extra";
    payload[1] = char(0xff);
    payload[7] = char(150);
    payload[8] = char(200);
    const auto record = decodeFrame("SHO", payload);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->value(QLatin1String("accel")).toObject().value(QLatin1String("x")).toInt(),
              127);
    EXPECT_EQ(record->value(QLatin1String("timestamp")).toString(),
              QLatin1String("20150-200-31 13:05:09"));
    EXPECT_FALSE(decodeFrame("SHO", shockPayload.first(14)).has_value());
    EXPECT_FALSE(decodeFrame("XYZ", shockPayload).has_value());
}

TEST(MetadataScan, AgreesWithTheOneTagAtATimeSearchOnNoisyData)
{
    // Random bytes dense with tag letters and frames, cut at every alignment the block search
    // meets, so tags straddle its 16-byte blocks and the file's end.
    std::mt19937 random(7);
    const QByteArray pieces[] = {frame("GPS", rmc),
                                 frame("SHO", shockPayload),
                                 frame("DAT", "vid:[1]2.2.2"),
                                 "GPS",
                                 "SH",
                                 "DA",
                                 "DAT0",
                                 "SHO-0001",
                                 "GPS00900",
                                 "GPSHO00015",
                                 "G",
                                 "S",
                                 "D"};
    for (int round = 0; round < 300; ++round) {
        QByteArray data;
        const int length = 40 + static_cast<int>(random() % 600);
        while (data.size() < length) {
            if (random() % 4 == 0)
                data += pieces[random() % std::size(pieces)];
            else
                data += static_cast<char>("DGSAPHOT0\x00\xff"[random() % 11]);
        }
        const QByteArray cut = data.left(length - static_cast<int>(random() % 20));
        const MediaRecords expected = referenceScan(cut);
        ASSERT_EQ(scanMediaRecords(cut), expected) << "round " << round;
    }
}

TEST(MetadataExtraction, MissingOrUnreadableFileGivesTheErrorRecord)
{
    const QJsonObject error{{QLatin1String("error"), QLatin1String("Cannot read file")}};
    EXPECT_EQ(extractMediaRecords(QStringLiteral("/nonexistent/recording.mp4")),
              MediaRecords{error});
    QTemporaryDir folder;
    EXPECT_EQ(extractMediaRecords(folder.path()), MediaRecords{error});
}

TEST(MetadataExtraction, EmptyFileHasNoRecords)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("empty.mp4"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(extractMediaRecords(path).isEmpty());
}

TEST(MetadataExtraction, AsyncDeliversOnceOnTheApplicationThread)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("r.mp4"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(frame("GPS", rmc));
    file.close();

    int calls = 0;
    MediaRecords delivered;
    QThread *deliveredOn = nullptr;
    extractMediaRecordsAsync(path, [&](MediaRecords records) {
        ++calls;
        delivered = std::move(records);
        deliveredOn = QThread::currentThread();
    });
    int missingCalls = 0;
    extractMediaRecordsAsync(QStringLiteral("/nonexistent"), [&](MediaRecords records) {
        ++missingCalls;
        EXPECT_EQ(records.size(), 1);
    });
    EXPECT_EQ(calls, 0) << "completion must not run before the loop turns";

    QElapsedTimer timer;
    timer.start();
    while ((calls == 0 || missingCalls == 0) && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(missingCalls, 1);
    EXPECT_EQ(deliveredOn, QCoreApplication::instance()->thread());
    EXPECT_EQ(delivered.size(), 1);
}

TEST(MetadataExtraction, JsonTextIsPrettyPrintedArray)
{
    const QByteArray json = mediaRecordsJson(scanMediaRecords(frame("GPS", "$GPRMC,1")));
    EXPECT_TRUE(json.startsWith("[\n"));
    EXPECT_TRUE(json.contains("\"nmea\": \"$GPRMC,1\""));
}
