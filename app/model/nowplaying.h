#pragma once

#include "records/filelistitem.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <QCoroTask>

#include <optional>

namespace korvane {

class CardSession;
class ChannelPlayer;
class MediaDataViewModel;
class MultiTrackPlayer;
class Notifications;
class ProcessManager;

// The recording in the player: its channels, its title, the time and speed texts under the
// pictures, the shocks on the seek bar, and what is saved of the moment shown (snapshots, the
// GPS and G-sensor data). Main thread only.
class NowPlaying : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<QObject *> videoPlayers READ videoPlayerObjects NOTIFY videoPlayersChanged)
    // The open recording's date and type ("2024/10/05 14:30:12 · 상시"), empty while none is.
    Q_PROPERTY(QString openTitle READ openTitle NOTIFY openTitleChanged)
    Q_PROPERTY(QString speedText READ speedText NOTIFY speedTextChanged)
    Q_PROPERTY(QString currentTimeText READ currentTimeText NOTIFY clockTextChanged)
    Q_PROPERTY(QString durationText READ durationText NOTIFY clockTextChanged)
    // How much of the G-sensor graph's width is shown: the part of the recording played.
    Q_PROPERTY(double gSensorShownShare READ gSensorShownShare NOTIFY clockTextChanged)
    // The open recording's shocks as points of the seek bar (0 to 1), ascending.
    Q_PROPERTY(QList<double> shockMarks READ shockMarks NOTIFY shockMarksChanged)

public:
    NowPlaying(ProcessManager &card, MultiTrackPlayer *player, MediaDataViewModel *mediaData,
               CardSession *session, Notifications *notifications, QObject *parent = nullptr);

    QList<ChannelPlayer *> videoPlayers() const { return m_videoPlayers; }
    // The row the player plays, shown in the list or not.
    const std::optional<FileListItem> &openRecording() const { return m_openRecording; }
    // The file the player opened, while it is kept beside the copy (a clip is cut from it).
    const QString &playedFile() const { return m_playedFile; }
    QString openTitle() const;
    QString speedText() const;
    QString currentTimeText() const;
    QString durationText() const;
    double gSensorShownShare() const;
    QList<double> shockMarks() const { return m_shockMarks; }
    enum class Precision
    {
        seconds,
        hundredths
    };
    // "HH:MM:SS" of the whole seconds, or "HH:MM:SS.cc" with the hundredths; a time that is not
    // finite, or before the start, as 0.
    static QString clockText(double seconds, Precision precision = Precision::seconds);
    // The clock text of a point of the seek bar (0 to 1), for the time under a dragged handle.
    Q_INVOKABLE QString timeTextAt(double fraction) const;

    // The player loaded a recording: its channels are shown.
    void channelsLoaded();
    // The recording now playing and the file the player opened ("" when it is not kept).
    void setOpenRecording(const FileListItem &row, const QString &playedFile);

    // Plays from a little before the shock of `shockMarks` at `index`, paused or not.
    Q_INVOKABLE void seekToShock(int index);
    // A snapshot of every channel of the open recording into the folder; the files written.
    Q_INVOKABLE void saveSnapshots(const QUrl &folder);
    QCoro::Task<QStringList> saveSnapshotsInto(QString folder);
    Q_INVOKABLE void exportLocation();
    Q_INVOKABLE void exportGSensor();

signals:
    void videoPlayersChanged();
    void openTitleChanged();
    void speedTextChanged();
    void clockTextChanged();
    void shockMarksChanged();

public slots:
    void updateShockMarks();

private:
    QList<QObject *> videoPlayerObjects() const;
    void unload();
    void exportText(const QString &name, const QString &text, const QString &saved);

    ProcessManager &m_card;
    MultiTrackPlayer *m_player;
    MediaDataViewModel *m_mediaData;
    Notifications *m_notifications;
    QList<ChannelPlayer *> m_videoPlayers;
    std::optional<FileListItem> m_openRecording;
    QString m_playedFile;
    QList<double> m_shockMarks;
};

} // namespace korvane
