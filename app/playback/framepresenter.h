#pragma once

#include <QList>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <memory>
#include <optional>

namespace korvane {

class ChannelPlayer;
class PlaybackPipeline;

// Puts the channels' decoded pictures on screen against the pipeline clock. It owns the decision
// of when each channel's next picture is shown: every channel shows the picture of one instant,
// and a channel whose decoder lags holds the others back on the newest instant it has, for at
// most maxHoldBack. It owns the wake-ups that follow: a timer set for the next picture due (or
// the end of a hold), and the calls the channels' frame queues make from their sinks' streaming
// threads when a picture arrives. While a seek or frame step runs it shows nothing, since the
// pictures of the old position are being flushed, and once the seek is done every channel shows
// its picture of the new position together. It knows where the pictures end and says so when
// the running clock gets there. It lives on the main thread; only its arrival listeners run on
// the streaming threads, and all they do there is post one presenting call to the main thread.
class FramePresenter : public QObject
{
    Q_OBJECT

public:
    // The longest a lagging channel may hold the others back, in seconds.
    static constexpr double maxHoldBack = 0.1;
    // The shortest wait once a hold has run out, in seconds.
    static constexpr double minimumWake = 0.005;

    explicit FramePresenter(QObject *parent = nullptr);

    // Presents the channels of a newly opened recording of `length` seconds (0: unknown, and then
    // the clock ends nothing); a picture arriving on any of them wakes the presenter from now on.
    void attach(PlaybackPipeline *pipeline, const QList<ChannelPlayer *> &channels, double length);
    // Lets go of the recording: no wake-up, queued or to come, presents anything of it.
    void detach();

    // Running, the pictures follow the clock and each one due wakes the presenter; halted, a
    // present shows the picture of the clock's position and sets no wake-up.
    void setRunning(bool running) { m_running = running; }
    // How fast the recording's time runs against the wall clock, for the wake-ups.
    void setRate(double rate) { m_rate = rate; }

    // A seek starts: nothing is shown until endSeek, and the end of the pictures is found anew.
    void beginSeek();
    bool isSeeking() const { return m_seeking; }
    // The seek is done at `time`: every channel shows its picture of it, or none when its first
    // picture comes later.
    void endSeek(double time);

    // Shows on every channel the picture of one instant at `position` (the clock's position when
    // none is given) and returns that instant; none when nothing could be shown. Running, it sets
    // the next wake-up, or says that the end is reached instead of showing anything.
    std::optional<double> present(std::optional<double> position = std::nullopt);

    // Where the pictures end: the recording's length, or the last picture's end when the clock
    // channel's stream ended before that.
    double endsAt() const { return m_endsAt; }
    void setEndsAt(double endsAt) { m_endsAt = endsAt; }
    // Every channel on its last picture, even one the presenter had not reached yet; nothing
    // wakes the presenter afterwards.
    void showEnd();

signals:
    // The running clock reached the end of the pictures.
    void endReached();

private:
    double instantEveryChannelHas(double position) const;

    PlaybackPipeline *m_pipeline = nullptr; // main thread
    QList<ChannelPlayer *> m_channels;      // main thread
    double m_length = 0;                    // main thread
    double m_endsAt = 0;                    // main thread
    bool m_running = false;                 // main thread
    double m_rate = 1;                      // main thread
    bool m_seeking = false;                 // main thread
    QTimer m_wake;                          // main thread
    // The pointer: main thread. The flag it points to: set by the streaming thread whose arrival
    // posted a presenting call, cleared by the main thread when it presents, so that arrivals in
    // between post no more calls. A new flag per recording: the listeners of the one before hold
    // theirs weakly and post nothing once it is gone.
    std::shared_ptr<std::atomic_bool> m_arrivalPending = std::make_shared<std::atomic_bool>(false);
};

} // namespace korvane
