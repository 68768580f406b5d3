#pragma once

#include "records/filelistitem.h"
#include "records/metadataextraction.h"

#include <QCoroTask>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace korvane {

class CardSession;
class MediaDataViewModel;
class MultiTrackPlayer;
class Notifications;
class NowPlaying;
class ProcessManager;
class RecordingLibrary;
class ScreenLayout;

// Opening a recording into the player: copied from the card when it is not yet, rebuilt or
// remuxed into a file the player plays, loaded, and its metadata scanned; the rows before and
// after it in the list; what can be read of a recording the card cannot read whole. Main
// thread only.
class RecordingOpener : public QObject
{
    Q_OBJECT
    // A recording whose open failed because the card cannot read it whole: the question
    // whether to play what can be read ("" while there is none).
    Q_PROPERTY(QString salvageQuestion READ salvageQuestion NOTIFY salvageQuestionChanged)

public:
    struct Parts
    {
        ProcessManager &card;
        MultiTrackPlayer *player;
        MediaDataViewModel *mediaData;
        CardSession *session;
        Notifications *notifications;
        RecordingLibrary *library;
        NowPlaying *nowPlaying;
        ScreenLayout *layout;
    };
    explicit RecordingOpener(const Parts &parts, QObject *parent = nullptr);

    // Opens a row of the rows shown and plays it from `startAt` seconds into it.
    QCoro::Task<> select(FileListItem item, double startAt = 0);
    QCoro::Task<> selectAt(qsizetype index);
    QCoro::Task<> selectNext();
    QCoro::Task<> selectPrevious();
    // For views: the same operations, started and left to run.
    Q_INVOKABLE void open(int row);
    Q_INVOKABLE void openNext();
    Q_INVOKABLE void openPrevious();

    // Where playback goes on when a recording has played to its end: the recording that follows
    // it in its drive and the second to start at; none at the end of a drive.
    struct Following
    {
        FileListItem row;
        double startAt = 0;
    };
    using FollowingOf = std::function<std::optional<Following>(const FileListItem &)>;
    // Without it, or at the end of a drive, the row above in the list follows.
    void setFollowing(FollowingOf following) { m_following = std::move(following); }

    // Whether the recording that follows the open one in its drive is made ready while it plays,
    // so that it takes over at the end without a stop; otherwise it opens then as a click
    // opens it, marked 200 ms first. On unless turned off.
    bool isSeamless() const { return m_seamless; }
    // The row made ready to follow the open recording; none while there is none.
    std::optional<QUuid> preparedNext() const
    {
        return m_prepared ? std::optional(m_prepared->id) : std::nullopt;
    }
    void setSeamless(bool on) { m_seamless = on; }

    QString salvageQuestion() const;
    Q_INVOKABLE void answerSalvage(bool yes);
    // What can be read of a damaged recording, played; the alert says how much was lost.
    QCoro::Task<> salvageAndOpen(FileListItem item);
    // Waits until the metadata of the open recording has reached the media data.
    QCoro::Task<> metadataLoaded();

signals:
    void salvageQuestionChanged();
    // The metadata of the recording just opened is in the media data (or could not be read).
    void metadataArrived();

private:
    // Whether an open may start now; then the list marks it under way.
    bool beginOpen();
    // Whether the card left since generation `card`: the open under way then ends quietly.
    bool openEndedByCard(quint64 card);
    // Plays the copy `local` of a row, not before `notBefore`, and makes the files an open keeps
    // from it; true when it plays.
    QCoro::Task<bool> openCopy(FileListItem item, QString local, quint64 card,
                               QDeadlineTimer notBefore);
    // Loads `path` (with `sideSound` in place of its own sound) and plays it as the open
    // recording `item` when the player decodes its pictures and its sound; true when it plays.
    // `local` is the copy whose metadata is then read.
    QCoro::Task<bool> playAsItIs(FileListItem item, QString path, QString sideSound, QString local,
                                 quint64 card, QDeadlineTimer notBefore);
    // Loads a file into the player, its first pictures shown; why not, when it cannot.
    QCoro::Task<std::optional<QString>> loadRecording(QString path, QString sideSound);
    // loadRecording, its failure logged.
    QCoro::Task<bool> loadMp4(QString path);
    // Starts what was loaded, not before `notBefore`; false when the card left meanwhile.
    QCoro::Task<bool> playWhenDue(quint64 card, QDeadlineTimer notBefore);
    // The metadata of the copy `local`, read in the background into the media data.
    void readMetadata(const QString &local);
    void metadataRead(const MediaRecords &records);
    void forgetCard();
    // The player reached the end of the recording: the next one in time opens.
    void recordingEnded();
    // Opens what follows the open recording in its drive, else the row above.
    void continueAfterEnd();
    // Opens `next`, its type's rows shown first when the list does not show it.
    QCoro::Task<> openFollowing(Following next, bool continuing);
    // What follows `item` in its drive, when it starts at its beginning: copied, rebuilt into a
    // folder of its own when it is unfinished, and preloaded into the player.
    QCoro::Task<> prepareNext(FileListItem item);

    ProcessManager &m_card;
    MultiTrackPlayer *m_player;
    MediaDataViewModel *m_mediaData;
    CardSession *m_session;
    Notifications *m_notifications;
    RecordingLibrary *m_library;
    NowPlaying *m_nowPlaying;
    ScreenLayout *m_layout;
    std::optional<FileListItem> m_salvageRow; // the damaged recording asked about
    quint64 m_metadataGeneration = 0;
    bool m_metadataPending = false;
    bool m_endedDuringOpen = false; // the recording ended while its open made its files
    double m_startAt = 0;           // where the open under way starts to play, in seconds
    bool m_seamless = true;
    bool m_continuing = false; // the open starting now goes on from the recording that ended
    // The next recording `prepareNext` made ready: its row, the folder of its files and what
    // the player preloaded.
    struct Prepared
    {
        QUuid id;
        QString work;
        QString path;
        QString sideSound;
    };
    std::optional<Prepared> m_prepared;
    FollowingOf m_following;
    // Each preparation has a folder of its own, and an open or a later preparation supersedes it.
    quint64 m_preparations = 0;
    quint64 m_preparationGeneration = 0;
    QString m_openWork; // the folder of the open recording's files
};

} // namespace korvane
