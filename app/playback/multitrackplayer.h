#pragma once

#include "playback/audioplayer.h"
#include "playback/channelplayer.h"
#include "playback/playbackpipeline.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <array>
#include <functional>
#include <memory>

namespace korvane {

// Plays every camera channel of one recording side by side, in step, with its sound, and
// publishes the clock that the seek bar, the map and the G-sensor graph follow.
class MultiTrackPlayer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<QObject *> videoPlayers READ videoPlayerObjects NOTIFY videoPlayersChanged)
    Q_PROPERTY(QObject *audioPlayer READ audioPlayerObject NOTIFY audioPlayerChanged)
    Q_PROPERTY(double currentTime READ currentTime NOTIFY currentTimeChanged)
    Q_PROPERTY(double duration READ duration NOTIFY durationChanged)
    Q_PROPERTY(double progress READ progress NOTIFY progressChanged)
    Q_PROPERTY(bool isScrubbing READ isScrubbing WRITE setIsScrubbing NOTIFY isScrubbingChanged)
    Q_PROPERTY(bool isPlaying READ isPlaying NOTIFY isPlayingChanged)
    Q_PROPERTY(bool isStopped READ isStopped NOTIFY isStoppedChanged)
    // How fast playback runs: one of `rates`; "1x", "0.5x", ... for the speed button.
    Q_PROPERTY(double rate READ rate NOTIFY rateChanged)
    Q_PROPERTY(QString rateText READ rateText NOTIFY rateChanged)

public:
    static constexpr int clockIntervalMs = 100;
    // The longest a lagging channel may hold the others back, in seconds.
    static constexpr double maxHoldBack = 0.1;
    // The shortest wait of the presenter once a hold has run out, in seconds.
    static constexpr double minimumWake = 0.005;
    static constexpr std::array<double, 5> rates{0.25, 0.5, 1.0, 2.0, 4.0};

    explicit MultiTrackPlayer(PlaybackOutput output = {}, QObject *parent = nullptr);
    ~MultiTrackPlayer() override;

    // Opens a recording and shows its first picture on every channel, paused. Throws
    // PlaybackError when the file cannot be played; the open recording then stays.
    QCoro::Task<void> load(const QUrl &url);

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
    void playbackDidFinish();

    // Called once each time the recording plays to its end.
    std::function<void()> onPlaybackEnded;

    const QList<ChannelPlayer *> &videoPlayers() const { return m_videoPlayers; }
    AudioPlayer *audioPlayer() const { return m_audioPlayer; }
    double currentTime() const { return m_currentTime; }
    double duration() const { return m_duration; }
    double progress() const { return m_progress; }
    bool isScrubbing() const { return m_isScrubbing; }
    void setIsScrubbing(bool scrubbing);
    bool isPlaying() const { return m_isPlaying; }
    bool isStopped() const { return m_isStopped; }
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
    void isPlayingChanged();
    void isStoppedChanged();
    void rateChanged();

private:
    QList<QObject *> videoPlayerObjects() const;
    QObject *audioPlayerObject() const { return m_audioPlayer; }

    void replaceRecording(std::unique_ptr<PlaybackPipeline> pipeline, const QString &path);
    void dropRecording();
    void applyStoredSettings();
    void onClockTick();
    void onEndOfStream();
    // Shows on every channel the picture of one instant at the clock's position, and returns
    // that instant; none when nothing could be shown.
    std::optional<double> presentFrames(std::optional<double> position = std::nullopt);
    double instantEveryChannelHas(double position) const;
    void showFilterChangeWhilePaused();
    void seekAll(double seconds);
    void finishSeek();
    void stepFrame(int direction);
    // After a frame step's seek: the clock on the first channel's picture, and the next step.
    void finishStep();

    void setCurrentTime(double time);
    void setDuration(double duration);
    void setProgress(double progress);
    void setIsPlaying(bool playing);
    void setIsStopped(bool stopped);

    PlaybackOutput m_output;
    std::unique_ptr<PlaybackPipeline> m_pipeline;
    QList<ChannelPlayer *> m_videoPlayers;
    ChannelPlayer *m_clockChannel = nullptr;
    // Where playback ends: the clock channel's length, or its last picture's end when its stream
    // ends before that.
    double m_endsAt = 0;
    int m_ticksHeldBack = 0;
    AudioPlayer *m_audioPlayer = nullptr;
    quint64 m_loadGeneration = 0;
    QTimer m_clock;
    QTimer m_presentTimer;
    // After a seek the channels' new pictures are shown together, once every branch has its own.
    bool m_awaitingSeek = false;
    QTimer m_seekDeadline;
    std::shared_ptr<std::atomic_bool> m_arrivalPending = std::make_shared<std::atomic_bool>(false);

    double m_currentTime = 0;
    double m_duration = 0;
    double m_progress = 0;
    bool m_isScrubbing = false;
    bool m_isPlaying = false;
    bool m_isStopped = true;
    double m_rate = 1;
    bool m_stepping = false; // the running seek is a frame step's
    int m_pendingStep = 0;   // the direction of a step asked for during it
};

// `player.load(url)`, its failure handed back as text instead of thrown; nothing when it loaded.
// QCoro's waitFor never returns from a task that throws, so whoever waits for a load this way
// learns of the failure at once.
QCoro::Task<std::optional<QString>> loadFailure(MultiTrackPlayer &player, QUrl url);

} // namespace korvane
