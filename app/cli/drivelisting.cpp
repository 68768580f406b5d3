#include "cli/drivelisting.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace korvane::cli {

namespace {

// Lengths to the millisecond: estimates are no finer, and the text stays short.
double rounded(double seconds)
{
    return std::round(seconds * 1000) / 1000;
}

const char *kindOf(const Drive &drive)
{
    return drive.parking ? "parking" : "driving";
}

} // namespace

QByteArray drivesText(const QList<Drive> &drives)
{
    QByteArray out;
    for (const Drive &drive : drives) {
        out += driveTimeText(drive.start).toUtf8() + '\t' + driveTimeText(drive.end).toUtf8() +
               '\t' + QByteArray::number(std::llround(drive.seconds())) + '\t' +
               QByteArray::number(drive.recordings.size()) + '\t' +
               QByteArray::number(drive.eventCount()) + '\t' + kindOf(drive) + '\n';
    }
    return out;
}

QByteArray drivesJson(const QList<Drive> &drives)
{
    QJsonArray array;
    for (const Drive &drive : drives) {
        QJsonArray recordings;
        for (const DriveRecording &recording : drive.recordings) {
            recordings.append(QJsonObject{{QStringLiteral("type"), recording.row.type},
                                          {QStringLiteral("name"), recording.row.name},
                                          {QStringLiteral("start"), driveTimeText(recording.start)},
                                          {QStringLiteral("seconds"), rounded(recording.seconds)},
                                          {QStringLiteral("plays"), recording.plays}});
        }
        array.append(QJsonObject{{QStringLiteral("start"), driveTimeText(drive.start)},
                                 {QStringLiteral("end"), driveTimeText(drive.end)},
                                 {QStringLiteral("seconds"), rounded(drive.seconds())},
                                 {QStringLiteral("kind"), QLatin1String(kindOf(drive))},
                                 {QStringLiteral("events"), drive.eventCount()},
                                 {QStringLiteral("recordings"), recordings}});
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

} // namespace korvane::cli
