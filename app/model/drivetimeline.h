#pragma once

#include "model/recordingopener.h"
#include "records/drives.h"

#include <QCoroTask>
#include <QDate>
#include <QHash>
#include <QObject>
#include <QVariantList>

#include <optional>

namespace korvane {

class CardSession;
class MultiTrackPlayer;
class NowPlaying;
class RecordingLibrary;
class RecordingOpener;

// The card's recordings as drives on a strip of one day: the drives as blocks with the pauses
// between them, the event and manual recordings and the open recording's shocks marked, the
// moment played; a moment chosen on it plays from the recording that holds it. Points of the
// strip are fractions of its span (0 at its left end, 1 at its right). Main thread only.
class DriveTimeline : public QObject
{
    Q_OBJECT
    // Each drive of the day: {start, width, parking}, in points of the strip.
    Q_PROPERTY(QVariantList blocks READ blocks NOTIFY dayChanged)
    // Each event or manual recording {start, width, color} and shock {start, width 0, color}.
    Q_PROPERTY(QVariantList marks READ marks NOTIFY marksChanged)
    // "2024/10/06", and the clock at the strip's ends ("09:00"); empty without drives.
    Q_PROPERTY(QString dayText READ dayText NOTIFY dayChanged)
    Q_PROPERTY(QString startText READ startText NOTIFY dayChanged)
    Q_PROPERTY(QString endText READ endText NOTIFY dayChanged)
    Q_PROPERTY(bool hasPreviousDay READ hasPreviousDay NOTIFY dayChanged)
    Q_PROPERTY(bool hasNextDay READ hasNextDay NOTIFY dayChanged)
    // The moment played as a point of the strip; -1 while none of this day plays.
    Q_PROPERTY(double position READ position NOTIFY positionChanged)
    // The dashcam's clock at the moment played ("09:00:04"); empty while none plays.
    Q_PROPERTY(QString momentText READ momentText NOTIFY positionChanged)
    // Whether the open recording is one of a drive of several: the seek bar then runs on the
    // drive's time, from its start (0) to its end (1).
    Q_PROPERTY(bool drivePlays READ drivePlays NOTIFY driveClockChanged)
    Q_PROPERTY(double driveProgress READ driveProgress NOTIFY positionChanged)
    // The time since the drive's start and the drive's length, "HH:MM:SS".
    Q_PROPERTY(QString driveTimeText READ driveTimeText NOTIFY positionChanged)
    Q_PROPERTY(QString driveLengthText READ driveLengthText NOTIFY driveClockChanged)
    // Where the open recording starts on the drive's time and how much of it it takes, both as
    // shares of the drive: a point p of the recording is openStart + p * openShare of the drive.
    Q_PROPERTY(double openStart READ openStart NOTIFY driveClockChanged)
    Q_PROPERTY(double openShare READ openShare NOTIFY driveClockChanged)

public:
    struct Parts
    {
        CardSession *session;
        RecordingLibrary *library;
        RecordingOpener *opener;
        NowPlaying *nowPlaying;
        MultiTrackPlayer *player;
    };
    explicit DriveTimeline(const Parts &parts, QObject *parent = nullptr);

    const QList<Drive> &drives() const { return m_drives; }
    QVariantList blocks() const;
    QVariantList marks() const;
    QString dayText() const;
    QString startText() const;
    QString endText() const;
    bool hasPreviousDay() const;
    bool hasNextDay() const;
    double position() const;
    QString momentText() const;
    // The day shown; invalid while there are no drives.
    QDate day() const { return m_day; }
    // The dashcam's clock at a point of the strip.
    QDateTime momentAt(double point) const;
    // The moment the player shows, when the open recording is one of the card's with a time.
    std::optional<QDateTime> playedMoment() const;
    // The drive the open recording belongs to, when it is one of several recordings.
    const Drive *openDrive() const;
    bool drivePlays() const { return openDrive() != nullptr; }
    double driveProgress() const;
    QString driveTimeText() const;
    QString driveLengthText() const;
    double openStart() const;
    double openShare() const;
    // The time text of a point of the drive (0 to 1), for the time under a dragged handle.
    Q_INVOKABLE QString driveTimeTextAt(double point) const;
    // Plays the drive from a point of it (0 to 1).
    Q_INVOKABLE void seekDrive(double point);

    // The drives found again from the card's rows and the lengths of the copies made so far.
    QCoro::Task<> findDrivesAgain();
    // Opens the recording of the drive that holds `at` (of the drive after it that day, in a
    // pause) and plays it from that moment; false when no drive is there.
    QCoro::Task<bool> playMoment(QDateTime at);
    Q_INVOKABLE void playAt(double point);
    Q_INVOKABLE void showPreviousDay();
    Q_INVOKABLE void showNextDay();

signals:
    void drivesChanged();
    void dayChanged();
    void marksChanged();
    void positionChanged();
    void driveClockChanged();

private:
    QList<QDate> days() const;
    // What follows `row` in its drive, for the open at its end.
    std::optional<RecordingOpener::Following> following(const FileListItem &row) const;
    // The drives that start on the day shown.
    QList<const Drive *> drivesOfDay() const;
    // The strip's span: the day's drives with a little room at both ends.
    std::pair<QDateTime, QDateTime> span() const;
    double pointOf(const QDateTime &moment) const;
    void showDay(const QDate &day);
    void openRecordingChanged();
    void forgetCard();

    CardSession *m_session;
    RecordingLibrary *m_library;
    RecordingOpener *m_opener;
    NowPlaying *m_nowPlaying;
    MultiTrackPlayer *m_player;
    QList<Drive> m_drives;
    QHash<QUuid, double> m_lengths; // of the copies measured, by row id
    QDate m_day;
    quint64 m_generation = 0; // a search of drives of an older card or list is dropped
    bool m_listChanged = false; // the card's rows changed since the drives were last searched
};

} // namespace korvane
