#pragma once

#include <QByteArrayView>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace korvane {

// Raw metadata records ("video_info", "gps_info", "gsensor_info" objects) found in a recording
// by the dashcam's frame tags, without trusting the file's box structure.
using MediaRecords = QList<QJsonObject>;

// Every record in a recording: all channel tables, then all GPS sentences, then all G-sensor
// samples, each in file order. An unreadable file gives the one record "error": "Cannot read file".
MediaRecords extractMediaRecords(const QString &path);

// The same work on the shared thread pool; `completion` runs once, on the application's thread.
void extractMediaRecordsAsync(const QString &path, std::function<void(MediaRecords)> completion);

// The records in bytes already in memory.
MediaRecords scanMediaRecords(QByteArrayView data);

// The dashcam's frames in a recording that hold a record, each whole (tag, length, payload): the
// channel tables, then the GPS sentences, then the G-sensor samples, each in file order, so that
// scanning them gives the recording's records. Nothing when the file cannot be read.
std::optional<QByteArray> extractMetadataFrames(const QString &path);

// One frame's record, or nothing when the payload does not hold one. `tag` is "DAT", "GPS" or
// "SHO".
std::optional<QJsonObject> decodeFrame(QByteArrayView tag, QByteArrayView payload);

// The records as the pretty-printed UTF-8 JSON text that the media data model loads.
QByteArray mediaRecordsJson(const MediaRecords &records);

} // namespace korvane
