#pragma once

#include "card/clipexport.h"
#include "card/shell.h"
#include "records/drives.h"

#include <QCoroTask>
#include <QDateTime>
#include <QObject>
#include <QUrl>

#include <optional>

namespace korvane {

class Downloads;
class DriveTimeline;
class MediaDataViewModel;
class MultiTrackPlayer;
class Notifications;
class NowPlaying;
class ProcessManager;

// Evidence clips: the span between two marks, saved into a folder as one MP4 (every camera, or the
// camera of the download's channel choice, with the sound), copied as recorded or with the date,
// time, speed and position burned in, each camera a track of its own or all of them in one
// picture; optionally with an evidence report beside it. Marked in a recording of a drive, the
// marks are moments of the drive: they stay while the drive plays on into the next recordings,
// and the clip is cut from every recording the span touches and joined. The save shows its
// progress like a download; closing it cancels the clip, and nothing is left at the
// destination. The route can be saved as GPX beside it. Main thread only.
class Clips : public QObject
{
    Q_OBJECT
    // The marks in seconds of the player's time axis, -1 while unset. A mark of the drive that
    // lies in another of its recordings is before 0 or past the open recording's end.
    Q_PROPERTY(double clipFrom READ clipFrom NOTIFY clipMarksChanged)
    Q_PROPERTY(double clipTo READ clipTo NOTIFY clipMarksChanged)
    Q_PROPERTY(bool hasClipFrom READ hasClipFrom NOTIFY clipMarksChanged)
    Q_PROPERTY(bool hasClipTo READ hasClipTo NOTIFY clipMarksChanged)
    // The span the marks give, as times ("00:00:04.00 – 00:00:07.50"), or on the dashcam's clock
    // ("14:30:58 – 14:31:10") for marks of a drive; a mark not set stands for the recording's
    // start or end. Empty while neither is set.
    Q_PROPERTY(QString clipSpanText READ clipSpanText NOTIFY clipMarksChanged)
    // Whether clips get the caption; kept in the user defaults as "clipCaption".
    Q_PROPERTY(bool clipCaption READ clipCaption WRITE setClipCaption NOTIFY clipCaptionChanged)
    // How clips carry the cameras: "tracks", "grid" or "pip"; kept as "clipLayout".
    Q_PROPERTY(QString clipLayout READ clipLayout WRITE setClipLayout NOTIFY clipLayoutChanged)
    // What the layout button says of the layout chosen.
    Q_PROPERTY(QString clipLayoutText READ clipLayoutText NOTIFY clipLayoutChanged)
    // Whether an evidence report goes beside each clip; kept as "clipReport".
    Q_PROPERTY(bool clipReport READ clipReport WRITE setClipReport NOTIFY clipReportChanged)
    // A recording is open and its end mark is after its start mark.
    Q_PROPERTY(bool canExportClip READ canExportClip NOTIFY clipMarksChanged)

public:
    struct Parts
    {
        ProcessManager &card;
        MultiTrackPlayer *player;
        MediaDataViewModel *mediaData;
        NowPlaying *nowPlaying;
        Downloads *downloads;
        Notifications *notifications;
        DriveTimeline *timeline;
    };
    explicit Clips(const Parts &parts, QObject *parent = nullptr);

    double clipFrom() const { return m_hasFrom ? m_clipFrom : -1; }
    double clipTo() const { return m_hasTo ? m_clipTo : -1; }
    bool hasClipFrom() const { return m_hasFrom; }
    bool hasClipTo() const { return m_hasTo; }
    bool clipCaption() const;
    void setClipCaption(bool on);
    QString clipLayout() const;
    void setClipLayout(const QString &layout);
    QString clipLayoutText() const;
    // tracks, grid, pip, tracks, ...
    Q_INVOKABLE void nextClipLayout();
    bool clipReport() const;
    void setClipReport(bool on);
    bool canExportClip() const;
    QString clipSpanText() const;
    // Each mark takes the player's current time (and its moment of the drive, when the open
    // recording is one of a drive's) and is kept where it is put: a start at or after the end
    // clears the end, an end at or before the start clears the start, and the user marks the
    // other one again. Both are cleared when a recording of another drive (or of none) opens or
    // the player closes its recording.
    Q_INVOKABLE void markClipStart();
    Q_INVOKABLE void markClipEnd();
    Q_INVOKABLE void clearClipMarks();
    // The clip's file name: the recording's base name and the marks' minutes and seconds, with
    // the camera for one channel ("20241005_143512_E_clip_00m12s-00m30s_CH2.mp4"); for marks of
    // a drive, the first recording's base name and the marks on the dashcam's clock
    // ("N_20241005_143000_clip_143058-143110.mp4").
    QString clipFileName(int choice) const;
    // Saves the clip into `folder`; its result names where it is, or would have been.
    QCoro::Task<ClipResult> exportClipInto(QString folder);
    Q_INVOKABLE void exportClip(const QUrl &folder);
    // The open recording's GPS route as "<recording base name>.gpx" in `folder`; false (with an
    // alert) when it is not saved.
    QCoro::Task<bool> exportGpxInto(QString folder);
    Q_INVOKABLE void exportGpx(const QUrl &folder);

signals:
    void clipMarksChanged();
    void clipCaptionChanged();
    void clipLayoutChanged();
    void clipReportChanged();

private:
    // The drive whose moments the marks are, when both are moments of the same one.
    const Drive *markedDrive() const;
    // Another recording is in the player: marks of its drive are placed on its time, others go.
    void followMarks();
    // The span within the open recording; and one across the recordings of `drive`. A saved
    // clip's result carries the report's path as its detail when a report was asked for.
    QCoro::Task<ClipResult> exportOpenSpan(QString folder, int choice, ShellCancel cancel);
    QCoro::Task<ClipResult> exportDriveSpan(QString folder, Drive drive, int choice,
                                            ShellCancel cancel);
    // The outcome told the user.
    ClipResult clipOutcome(const ClipResult &result, QString folder, int choice);

    ProcessManager &m_card;
    MultiTrackPlayer *m_player;
    MediaDataViewModel *m_mediaData;
    NowPlaying *m_nowPlaying;
    Downloads *m_downloads;
    Notifications *m_notifications;
    DriveTimeline *m_timeline;
    double m_clipFrom = 0;
    double m_clipTo = 0;
    bool m_hasFrom = false;
    bool m_hasTo = false;
    // The marks' moments of the drive the open recording belongs to, while it belongs to one.
    std::optional<QDateTime> m_fromMoment;
    std::optional<QDateTime> m_toMoment;
    ShellCancel m_clipCancel; // the running clip's
};

} // namespace korvane
