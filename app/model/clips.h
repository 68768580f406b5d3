#pragma once

#include "card/clipexport.h"
#include "card/shell.h"

#include <QCoroTask>
#include <QObject>
#include <QUrl>

namespace korvane {

class Downloads;
class MediaDataViewModel;
class MultiTrackPlayer;
class Notifications;
class NowPlaying;
class ProcessManager;

// Evidence clips: the span of the open recording between two marks on the player's time axis,
// saved into a folder as one MP4 (every camera, or the camera of the download's channel choice,
// with the sound), copied as recorded or with the date, time, speed and position burned in. The
// save shows its progress like a download; closing it cancels the clip, and nothing is left at
// the destination. The route can be saved as GPX beside it. Main thread only.
class Clips : public QObject
{
    Q_OBJECT
    // The marks in seconds of the player's time axis, -1 while unset.
    Q_PROPERTY(double clipFrom READ clipFrom NOTIFY clipMarksChanged)
    Q_PROPERTY(double clipTo READ clipTo NOTIFY clipMarksChanged)
    // The span the marks give, as times ("00:00:04.00 – 00:00:07.50"); a mark not set stands for
    // the recording's start or end. Empty while neither is set.
    Q_PROPERTY(QString clipSpanText READ clipSpanText NOTIFY clipMarksChanged)
    // Whether clips get the caption; kept in the user defaults as "clipCaption".
    Q_PROPERTY(bool clipCaption READ clipCaption WRITE setClipCaption NOTIFY clipCaptionChanged)
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
    };
    explicit Clips(const Parts &parts, QObject *parent = nullptr);

    double clipFrom() const { return m_clipFrom; }
    double clipTo() const { return m_clipTo; }
    bool clipCaption() const;
    void setClipCaption(bool on);
    bool canExportClip() const;
    QString clipSpanText() const;
    // Each mark takes the player's current time and is kept where it is put: a start at or after
    // the end clears the end, an end at or before the start clears the start, and the user marks
    // the other one again. Both are cleared when another recording opens or the player closes
    // its recording.
    Q_INVOKABLE void markClipStart();
    Q_INVOKABLE void markClipEnd();
    Q_INVOKABLE void clearClipMarks();
    // The clip's file name: the recording's base name and the marks' minutes and seconds, with
    // the camera for one channel ("20241005_143512_E_clip_00m12s-00m30s_CH2.mp4").
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

private:
    ProcessManager &m_card;
    MultiTrackPlayer *m_player;
    MediaDataViewModel *m_mediaData;
    NowPlaying *m_nowPlaying;
    Downloads *m_downloads;
    Notifications *m_notifications;
    double m_clipFrom = -1;
    double m_clipTo = -1;
    ShellCancel m_clipCancel; // the running clip's
};

} // namespace korvane
