#pragma once

#include "playback/playbackpipeline.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QVideoFrame>
#include <QVideoSink>

#include <optional>

namespace korvane {

// One camera channel of the open recording: its branch of the pipeline, its picture controls and
// the picture it shows. Views show it by handing their video sink to `showOn`.
class ChannelPlayer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int channel READ channel CONSTANT)
    Q_PROPERTY(bool hasCurrentItem READ hasCurrentItem NOTIFY detached)
    Q_PROPERTY(double brightness READ brightness NOTIFY filterChanged)
    Q_PROPERTY(int mirrorMode READ mirrorMode NOTIFY filterChanged)
    Q_PROPERTY(QSize frameSize READ frameSize NOTIFY frameChanged)

public:
    ChannelPlayer(int channel, const QString &filePath, double duration, VideoBranch *branch,
                  QObject *parent = nullptr);

    int channel() const { return m_channel; }
    // The file the channel's pictures can be read from again (snapshots).
    QString filePath() const { return m_filePath; }
    void setFilePath(const QString &path) { m_filePath = path; }
    double duration() const { return m_duration; }
    // A channel has a current item while its recording is open and its track can be decoded.
    bool hasCurrentItem() const { return m_branch && m_branch->decodable; }

    double brightness() const;
    int mirrorMode() const;
    void setBrightness(double brightness);
    void setMirrorMode(int mode);

    QVideoFrame currentFrame() const { return m_frame; }
    QSize frameSize() const { return m_frame.size(); }
    // The time of the picture on screen; none before the first one.
    std::optional<double> currentFrameTime() const { return m_frameTime; }
    // Where the picture on screen ends. Its time may be a seek's target inside it; its end is
    // always its own.
    double currentFrameEnd() const { return m_frameEnd; }
    // How long one picture of the channel lasts: its stream's frame rate, or else the span of the
    // picture on screen.
    double frameInterval() const;

    Q_INVOKABLE void showOn(QVideoSink *sink);

    // Puts the newest picture due at `time` on screen; used by the player for all channels at
    // one clock position. False when no picture was due.
    bool present(double time);
    // Takes the picture off screen: the channel has none for the time shown (it starts later).
    void showNothing();
    // The channel's first picture, the one shown after loading, comes after `time`.
    bool startsAfter(double time) const;
    std::optional<double> nextFrameTime() const;
    // Whether the picture of `time` is decoded: waiting, on screen, or the channel has none to
    // come (it starts later, has ended, or cannot be decoded).
    bool hasPictureFor(double time) const;
    // The latest picture decoded so far, waiting or on screen.
    std::optional<FrameQueue::Span> newestPicture() const;

    // The recording was replaced: the channel no longer reaches its pipeline.
    void detach();

signals:
    void frameChanged();
    void filterChanged();
    void detached();

private:
    int m_channel = 0;
    QString m_filePath;
    double m_duration = 0;
    VideoBranch *m_branch = nullptr;
    QVideoFrame m_frame;
    std::optional<double> m_frameTime;
    double m_frameEnd = 0;
    double m_frameInterval = 0;
    std::optional<double> m_firstPictureTime;
    QList<QPointer<QVideoSink>> m_sinks;
};

} // namespace korvane
