#include "records/mediarecords.h"

#include <gtest/gtest.h>

using namespace korvane;

namespace {

QList<MediaData> decodeOk(const char *json)
{
    const MediaDataDecoding decoding = decodeMediaData(json);
    EXPECT_TRUE(decoding.records.has_value()) << decoding.error.toStdString();
    return decoding.records.value_or(QList<MediaData>{});
}

void expectFails(const char *json, const char *errorPart)
{
    const MediaDataDecoding decoding = decodeMediaData(json);
    EXPECT_FALSE(decoding.records.has_value()) << json;
    EXPECT_TRUE(decoding.error.contains(QLatin1String(errorPart)))
        << decoding.error.toStdString() << " lacks " << errorPart;
}

} // namespace

TEST(MediaRecords, GpsRecordWithOnlyTypeAndSentenceLeavesTheRestAbsent)
{
    const auto records = decodeOk(
        R"([{"type": "gps_info", "nmea": "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A"}])");
    ASSERT_EQ(records.size(), 1);
    const MediaData &record = records.first();
    EXPECT_EQ(record.type, MediaDataType::gpsInfo);
    ASSERT_TRUE(record.gpsInfo.has_value());
    EXPECT_FALSE(record.videoInfo.has_value());
    EXPECT_FALSE(record.gSensorInfo.has_value());
    EXPECT_TRUE(record.gpsInfo->nmea.startsWith(QLatin1String("$GPRMC,123519")));
    EXPECT_FALSE(record.gpsInfo->data.has_value());
    EXPECT_FALSE(record.gpsInfo->timestamp.has_value());
    EXPECT_FALSE(record.gpsInfo->elapse.has_value());
}

TEST(MediaRecords, PlacedGpsRecordKeepsItsFixTimeAndElapse)
{
    const auto records =
        decodeOk(R"([{"type": "gps_info", "nmea": "x", "timestamp": "2024-10-05 14:30:12",
        "elapse": 2.5, "data": {"timeUTC": "053012.00", "date": "051024", "latitude": 37.5,
        "longitude": -127.25, "speedKmh": 41.4848, "course": 84.4}}])");
    ASSERT_EQ(records.size(), 1);
    const GPSInfo &gps = *records.first().gpsInfo;
    ASSERT_TRUE(gps.data.has_value());
    EXPECT_EQ(gps.data->timeUTC, QLatin1String("053012.00"));
    EXPECT_EQ(gps.data->date, QLatin1String("051024"));
    EXPECT_DOUBLE_EQ(gps.data->longitude, -127.25);
    EXPECT_DOUBLE_EQ(gps.data->speedKmh, 41.4848);
    EXPECT_EQ(gps.timestamp, QStringLiteral("2024-10-05 14:30:12"));
    EXPECT_EQ(gps.elapse, 2.5);
}

TEST(MediaRecords, GSensorAndVideoRecordsDecodeInArrayOrder)
{
    const auto records = decodeOk(R"([
        {"type": "gsensor_info", "timestamp": "2024-01-31 13:05:09", "accel": {"x": 0, "y": -1, "z": 1}},
        {"type": "video_info", "channelCount": 2, "extra": true,
         "channels": [{"width": 1920, "height": 1080, "fps": 30}, {"width": 1280, "height": 720, "fps": 15}]}
    ])");
    ASSERT_EQ(records.size(), 2);
    ASSERT_TRUE(records[0].gSensorInfo.has_value());
    EXPECT_EQ(records[0].gSensorInfo->accel, (AccelData{0, -1, 1}));
    EXPECT_EQ(records[0].gSensorInfo->timestamp, QLatin1String("2024-01-31 13:05:09"));
    EXPECT_FALSE(records[0].gSensorInfo->elapse.has_value());
    ASSERT_TRUE(records[1].videoInfo.has_value());
    EXPECT_EQ(records[1].videoInfo->channelCount, 2);
    EXPECT_EQ(records[1].videoInfo->channels,
              (QList<VideoChannel>{{1920, 1080, 30}, {1280, 720, 15}}));
}

TEST(MediaRecords, OneBadElementFailsTheWholeArray)
{
    const char *good = R"({"type": "gps_info", "nmea": "x"})";
    expectFails(
        QByteArray(R"([)").append(good).append(R"(, {"type": "video_info", "channelCount": 2}])"),
        "channels");
    expectFails(R"([{"type": "gps", "nmea": "x"}])", "unknown value");
    expectFails(R"([{"nmea": "x"}])", "type");
    expectFails(R"([{"error": "Cannot read file"}])", "type");
    expectFails(R"([{"type": "gsensor_info", "timestamp": "t", "accel": {"x": 0, "y": 1}}])",
                "accel.z");
    expectFails(R"([{"type": "gps_info", "nmea": "x", "data": {"timeUTC": "1", "date": "2"}}])",
                "latitude");
}

TEST(MediaRecords, ValuesOfTheWrongKindFail)
{
    expectFails(R"([{"type": "video_info", "channelCount": "2", "channels": []}])", "channelCount");
    expectFails(R"([{"type": "video_info", "channelCount": 2.5, "channels": []}])", "channelCount");
    expectFails(
        R"([{"type": "video_info", "channelCount": 1, "channels": [{"width": 1e12, "height": 1, "fps": 1}]}])",
        "width");
    expectFails(R"([{"type": "gps_info", "nmea": 7}])", "nmea");
    expectFails(R"([{"type": "gps_info", "nmea": "x", "elapse": "soon"}])", "elapse");
    expectFails(R"({"type": "gps_info", "nmea": "x"})", "array");
    expectFails(R"([{"type": "gps_info")", "");
    expectFails(R"([3])", "element 0");
}

TEST(MediaRecords, NullOptionalValuesCountAsAbsent)
{
    const auto records =
        decodeOk(R"([{"type": "gps_info", "nmea": "x", "data": null, "elapse": null}])");
    ASSERT_EQ(records.size(), 1);
    EXPECT_FALSE(records[0].gpsInfo->data.has_value());
    EXPECT_FALSE(records[0].gpsInfo->elapse.has_value());
}

TEST(MediaRecords, EveryDecodingMakesFreshIds)
{
    const char *json = R"([{"type": "gps_info", "nmea": "a"}, {"type": "gps_info", "nmea": "a"}])";
    const auto first = decodeOk(json);
    const auto second = decodeOk(json);
    ASSERT_EQ(first.size(), 2);
    ASSERT_EQ(second.size(), 2);
    EXPECT_FALSE(first[0].id.isNull());
    EXPECT_NE(first[0].id, first[1].id);
    EXPECT_NE(first[0].id, second[0].id);
    EXPECT_NE(first[1].id, second[1].id);
}

TEST(MediaRecords, EmptyArrayIsNoRecords)
{
    const MediaDataDecoding decoding = decodeMediaData("[]");
    ASSERT_TRUE(decoding.records.has_value());
    EXPECT_TRUE(decoding.records->isEmpty());
}
