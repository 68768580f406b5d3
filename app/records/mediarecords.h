#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace korvane {

// The metadata records a dashcam recording carries, in the form the viewer works with.
// They come only from the JSON that the metadata extraction produces.

enum class MediaDataType
{
    videoInfo,
    gpsInfo,
    gSensor
};

std::optional<MediaDataType> mediaDataTypeFromRawValue(QStringView rawValue);
QString rawValue(MediaDataType type);

struct VideoChannel
{
    int width = 0;
    int height = 0;
    int fps = 0;
    friend bool operator==(const VideoChannel &, const VideoChannel &) = default;
};

struct VideoInfo
{
    QString type;
    int channelCount = 0;
    QList<VideoChannel> channels;
};

struct GPRMC
{
    QString timeUTC;
    QString date;
    double latitude = 0;
    double longitude = 0;
    double speedKmh = 0;
    std::optional<double> course; // none when the receiver sent none
};

struct GPSInfo
{
    QString type;
    QString nmea;
    std::optional<GPRMC> data;
    std::optional<QString> timestamp;
    std::optional<double> elapse;
};

struct AccelData
{
    int x = 0;
    int y = 0;
    int z = 0;
    friend bool operator==(const AccelData &, const AccelData &) = default;
};

struct GSensorInfo
{
    QString type;
    QString timestamp;
    AccelData accel;
    std::optional<double> elapse;
};

struct MediaData
{
    QUuid id;
    MediaDataType type = MediaDataType::videoInfo;
    std::optional<VideoInfo> videoInfo;
    std::optional<GPSInfo> gpsInfo;
    std::optional<GSensorInfo> gSensorInfo;
};

struct MediaDataDecoding
{
    std::optional<QList<MediaData>> records;
    QString error;
};

// Decodes a JSON array of records, all or nothing: one bad element fails the whole array and
// `error` says which and why. Every record gets a fresh id.
MediaDataDecoding decodeMediaData(const QByteArray &json);

} // namespace korvane
