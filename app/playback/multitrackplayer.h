#pragma once

#include "playback/audioplayer.h"
#include "playback/channelplayer.h"
#include "playback/framepresenter.h"
#include "playback/playbackpipeline.h"

#include <QBasicTimer>
#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <array>
#include <memory>
#include <optional>

namespace korvane {

// Plays every camera channel of one recording side by side, in step, with its sound, and
// publishes the clock that the seek bar, the map and the G-sensor graph follow.
//
// Threads. The player, its FramePresenter, its ChannelPlayers and AudioPlayer, and the QObject
// side of its PlaybackPipeline live on the main thread, with their timers and the views' video
// sinks; every public member is called there and every signal is emitted there. GStreamer runs
// the pipeline on threads of its own: the demuxer's streaming thread builds the branches, behind
// the pipeline's lock; each video branch decodes on a streaming thread of its own at a lower
// priority (decodingthreads.h), and its sink hands the decoded pictures over on the streaming
// thread after the decoder's (the decoder's own when nothing keeps time); the sound decodes and
// plays on threads of its own. Of the player those threads reach only the presenter's arrival
// listeners. The pictures hand over through each channel's FrameQueue, under its lock: the
// sink's streaming thread pushes a picture and calls the arrival listener, which posts one
// presenting call to the main thread; there the presenter takes what is due from every queue
// and the ChannelPlayers put it into the views' sinks. A seek clears the queues from the main
// thread and from the streaming threads its flush passes through. The pipeline's bus messages
// (an error, the end of the stream, a finished seek) are posted to the main thread likewise and
// arrive as the pipeline's signals. Picture controls and the volume are element properties, set
// from the main thread and read by the elements under GStreamer's own locks.
class MultiTrackPlayer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<QObject *> videoPlayers READ videoPlayerObjects NOTIFY videoPlayersChanged)
    Q_PROPERTY(QObject *audioPlayer READ audioPlayerObject NOTIFY audioPlayerChanged)
    Q_PROPERTY(double currentTime READ currentTime NOTIFY currentTimeChanged)
    Q_PROPERTY(double duration READ duration NOTIFY durationChanged)
    Q_PROPERTY(double progress READ progress NOTIFY progressChanged)
    Q_PROPERTY(bool isScrubbing READ isScrubbing WRITE setIsScrubbing NOTIFY isScrubbingChanged)
    Q_PROPERTY(State state READ state NOTIFY stateChanged)
    Q_PROPERTY(bool isPlaying READ isPlaying NOTIFY isPlayingChanged)
    Q_PROPERTY(bool isStopped READ isStopped NOTIFY isStoppedChanged)
    // How fast playback runs: one of `rates`; "1x", "0.5x", ... for the speed button.
    Q_PROPERTY(double rate READ rate NOTIFY rateChanged)
    Q_PROPERTY(QString rateText READ rateText NOTIFY rateChanged)

public:
    // Empty: no recording is open. Stopped: one is open, as loaded or after stop(), and has not
    // been played, paused or stepped since (a seek moves it and leaves it Stopped). Paused: it
    // stands where it was paused, stepped or sought. Playing: the clock runs. Ended: it played to
    // its end and shows its last pictures; played again, it starts from its beginning.
    enum class State
    {
        Empty,
        Stopped,
        Paused,
        Playing,
        Ended
    };
    Q_ENUM(State)

    static constexpr int clockIntervalMs = 100;
    // The longest a lagging channel may hold the others back, in seconds.
    static constexpr double maxHoldBack = FramePresenter::maxHoldBack;
    static constexpr std::array<double, 5> rates{0.25, 0.5, 1.0, 2.0, 4.0};

    explicit MultiTrackPlayer(PlaybackOutput output = {}, QObject *parent = nullptr);
    ~MultiTrackPlayer() override;

    // Opens a recording and shows its first picture on every channel, Stopped. Throws
    // PlaybackError when the file cannot be played; the open recording then stays. A
    // `sideSound` file (a rebuild's MPEG audio) plays in place of the recording's own sound.
    QCoro::Task<void> load(const QUrl &url, const QUrl &sideSound = {});
    // Makes a recording ready to follow the open one: its pipeline is opened and shows its first
    // pictures, paused, beside the one playing, and a `load` of the same file and side sound then
    // takes it over at once, without a stop between the two. True when it is ready; a later
    // preload, another load or unload drops it.
    QCoro::Task<bool> preload(QUrl url, QUrl sideSound = {});
    // Whether `preload` has that file and side sound ready.
    bool hasPreloaded(const QUrl &url, const QUrl &sideSound = {}) const;

    // The open recording's pictures, with the same tracks and times, are found under `path` now:
    // the file they play from was made playable under another name and its own name is going.
    void recordingMoved(const QString &path);

    // With no recording open these leave the player Empty.
    Q_INVOKABLE void play();
    Q_INVOKABLE void pause();
    Q_INVOKABLE void stop();
    // Closes the open recording: no channels, no sound, the clock at 0.
    void unload();
    Q_INVOKABLE void seek(double fraction);
    Q_INVOKABLE void skip(double seconds);
    Q_INVOKABLE void setVolume(double volume);
    Q_INVOKABLE void setBrightness(double brightness);
    Q_INVOKABLE void setFlip(int channel, int mode);
    // The next rate of `rates` up or down (staying at the ends), or round them all from 1x up.
    Q_INVOKABLE void faster();
    Q_INVOKABLE void slower();
    Q_INVOKABLE void cycleRate();
    // One of `rates`; any other value is ignored.
    void setRate(double rate);
    // One picture forward or back on every channel together, from the first channel's picture on
    // screen, the other channels showing the picture of that same instant. Playback pauses first.
    // A step asked for while the previous one is still being decoded follows it; a held key
    // does not pile up more than one.
    Q_INVOKABLE void stepForward() { stepFrame(1); }
    Q_INVOKABLE void stepBackward() { stepFrame(-1); }
    // The seek bar dragged to `fraction`: the pictures follow as fast as seeks land. A position
    // passed while a seek is under way waits for it; only the last one waiting is sought.
    Q_INVOKABLE void scrubTo(double fraction);

    const QList<ChannelPlayer *> &videoPlayers() const { return m_videoPlayers; }
    AudioPlayer *audioPlayer() const { return m_audioPlayer; }
    double currentTime() const { return m_currentTime; }
    double duration() const { return m_duration; }
    double progress() const { return m_progress; }
    bool isScrubbing() const { return m_isScrubbing; }
    void setIsScrubbing(bool scrubbing);
    State state() const { return m_state; }
    bool isPlaying() const { return m_state == State::Playing; }
    bool isStopped() const { return m_state == State::Empty || m_state == State::Stopped; }
    double rate() const { return m_rate; }
    QString rateText() const;
    // Clock ticks since the load at which a lagging channel held the others back.
    int ticksHeldBack() const { return m_ticksHeldBack; }
    // The pipeline has reached what was last asked of it (a pause, a seek, a start) and a seek's
    // pictures are on screen. Until then the pictures may change without a clock tick (after a
    // pause a channel may yet take the picture of where the pipeline stopped); from then on, what
    // may still change them is already posted to the main thread.
    bool isSettled() const;

signals:
    void videoPlayersChanged();
    void audioPlayerChanged();
    void currentTimeChanged();
    void durationChanged();
    void progressChanged();
    void isScrubbingChanged();
    void stateChanged();
    void isPlayingChanged();
    void isStoppedChanged();
    void rateChanged();
    // Once each time the recording plays to its end, in the Ended state.
    void ended();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    // A seek the pipeline runs, and what waits for it to end. While there is one, the presenter
    // shows nothing; a frame step asked for meanwhile is kept here instead of seeking at once.
    struct PendingSeek
    {
        // The seek lands a frame step: once it ends, the clock moves to the picture it shows.
        bool landsStep = false;
        // A step asked for while the seek runs (1 forward, -1 back, 0 none), taken once it ends;
        // a held key keeps only the last one.
        int nextStep = 0;
        // A branch that ends without a picture (a seek past a shorter track's end) must not hold
        // the others back for long: the seek counts as done when this runs out.
        QBasicTimer deadline;
    };
    static constexpr int seekDeadlineMs = 2000;

    QList<QObject *> videoPlayerObjects() const;
    QObject *audioPlayerObject() const { return m_audioPlayer; }

    void replaceRecording(std::unique_ptr<PlaybackPipeline> pipeline, const QString &path);
    void dropRecording();
    void applyStoredSettings();
    void onClockTick();
    void onEndOfStream();
    void playbackDidFinish();
    void showFilterChangeWhilePaused();
    void leaveTheEnd();
    void seekAll(double seconds);
    void finishSeek();
    void stepFrame(int direction);
    // After a frame step's seek: the clock on the first channel's picture, and the step `next`
    // asked for meanwhile.
    void finishStep(int next);

    void setState(State state);
    void setCurrentTime(double time);
    void setDuration(double duration);
    void setProgress(double progress);

    // Each field is touched on the thread its comment names.
    PlaybackOutput m_output; // main thread
    // Main thread; the GStreamer threads run inside it and reach the player only through
    // calls it posts to the main thread.
    std::unique_ptr<PlaybackPipeline> m_pipeline;
    QList<ChannelPlayer *> m_videoPlayers;   // main thread
    ChannelPlayer *m_clockChannel = nullptr; // main thread
    int m_ticksHeldBack = 0;                 // main thread
    AudioPlayer *m_audioPlayer = nullptr;    // main thread
    quint64 m_loadGeneration = 0;            // main thread
    QTimer m_clock;                          // main thread
    // Main thread; its arrival listeners are called on the sinks' streaming threads.
    FramePresenter m_presenter;
    // Main thread, its deadline's events too. Only while a recording is open.
    std::optional<PendingSeek> m_pendingSeek;
    std::optional<double> m_scrubTarget; // main thread
    // The recording `preload` made ready, with the file and side sound it opened; main thread.
    struct Standby
    {
        std::unique_ptr<PlaybackPipeline> pipeline;
        QString path;
        QString sideSound;
    };
    std::optional<Standby> m_standby;
    quint64 m_standbyGeneration = 0; // main thread

    State m_state = State::Empty; // main thread
    double m_currentTime = 0;     // main thread
    double m_duration = 0;        // main thread
    double m_progress = 0;        // main thread
    bool m_isScrubbing = false;   // main thread
    double m_rate = 1;            // main thread
};

// `player.load(url)`, its failure handed back as text instead of thrown; nothing when it loaded.
// QCoro's waitFor never returns from a task that throws, so whoever waits for a load this way
// learns of the failure at once.
QCoro::Task<std::optional<QString>> loadFailure(MultiTrackPlayer &player, QUrl url);

} // namespace korvane
