#pragma once

#include "records/filelistitem.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QUuid>

#include <optional>

namespace korvane {

// The dashcam cuts a trip into recordings of about a minute each; a drive is such a trip again:
// the recordings whose times follow each other without a pause, whatever folder holds them.

// When a recording began by the dashcam's clock, from its name ("_YYYYMMDD_HHMMSS"), as a UTC
// time standing for the dashcam's own wall clock (it knows no time zone); none when the name
// holds no valid time.
std::optional<QDateTime> recordingStart(const QString &name);

// One recording of a drive.
struct DriveRecording
{
    FileListItem row;
    QDateTime start;
    double seconds = 0; // its length, read from its copy or estimated
    // Whether the drive plays from it: an event or manual recording whose seconds a continuous
    // recording already holds is marked on the drive, not played a second time.
    bool plays = true;

    QDateTime end() const { return start.addMSecs(qRound64(seconds * 1000)); }
    bool isEvent() const { return row.type == u"event"; }
};

// Where a moment of a drive is played from.
struct DrivePlace
{
    qsizetype recording = 0; // in `Drive::recordings`
    double offset = 0;       // seconds into it
};

// One recording's part of a span of a drive, in seconds of that recording.
struct SpanPiece
{
    qsizetype recording = 0; // in `Drive::recordings`
    double from = 0;
    double to = 0;
    friend bool operator==(const SpanPiece &, const SpanPiece &) = default;
};

struct Drive
{
    QDateTime start;
    QDateTime end;
    bool parking = false;             // recorded while the car was parked
    QList<DriveRecording> recordings; // by their start, the earliest first

    double seconds() const { return static_cast<double>(start.msecsTo(end)) / 1000; }
    int eventCount() const;
    // The recording that plays `at` and where in it; a moment between two recordings is played
    // from the start of the next one; none outside the drive.
    std::optional<DrivePlace> placeOf(const QDateTime &at) const;
    // The moment `offset` seconds into recording `index`.
    QDateTime momentOf(qsizetype index, double offset) const;
    // Where the drive plays on when recording `index` has played to its end; none when the
    // drive ends with it.
    std::optional<DrivePlace> placeAfter(qsizetype index) const;
    // The span from `from` up to `to` as the drive plays it: each recording's part in turn, each
    // ending where the next takes over, so that no second is played twice and a pause between
    // recordings is passed over. Empty when `from` lies outside the drive; a span that runs past
    // the drive's end stops there.
    QList<SpanPiece> piecesOf(const QDateTime &from, const QDateTime &to) const;
};

// The pause between two recordings, in seconds, up to which they still belong to one drive: the
// dashcam closes one file and opens the next within a second or two.
inline constexpr double driveJoinSeconds = 5;
// How far a recording's file may run past the next cut and the next still play from its start.
inline constexpr double cutOverlapSeconds = 1;
// The length assumed of a recording whose length nothing tells: the dashcam's cut.
inline constexpr double usualRecordingSeconds = 60;

// The drives of a card's recordings, the earliest first. Recordings of the continuous, event
// and manual folders make driving drives, parking ones drives of their own; kept copies and
// names without a time take no part. `knownSeconds` holds the lengths read from copies, by row
// id; the others are estimated from the next continuous recording (a cut follows the one before)
// or from their size at the bit rate of their neighbours.
QList<Drive> findDrives(const QList<FileListItem> &rows,
                        const QHash<QUuid, double> &knownSeconds = {});

// "2024-10-05 14:30:12", the dashcam's clock as it names recordings.
QString driveTimeText(const QDateTime &time);
// That text read back; none when it is no such time.
std::optional<QDateTime> driveTimeFromText(const QString &text);

} // namespace korvane
