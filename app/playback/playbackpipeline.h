#pragma once

#include "playback/channelfilter.h"
#include "playback/framequeue.h"

#include <gst/gst.h>

#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <vector>

namespace korvane {

class PlaybackError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Where the pictures and the sound go, and at what pace.
struct PlaybackOutput
{
    // Pictures and sound follow the pipeline clock; off, every frame is decoded and handed over
    // as fast as the machine allows (benchmarks).
    bool realTime = true;
    // The sound's sink, as a GStreamer element description ("autoaudiosink", "fakesink sync=true").
    QByteArray audioSink = "autoaudiosink";
};

// One video track's branch: decoder, picture controls, and the sink that fills its frame queue.
struct VideoBranch
{
    bool decodable = false; // a track whose pictures this pipeline cannot decode shows nothing
    ChannelFilter filter;
    std::shared_ptr<FrameQueue> frames = std::make_shared<FrameQueue>();
    GstElement *decoded = nullptr; // the pictures decoded ahead of the sink; the pipeline owns it
};

// One recording opened for playback: the file is read and demuxed once, every video track (up to
// five) gets its own branch and the first sound track one more, or instead a sound file beside
// it. Every sink runs on the one pipeline clock, so the channels cannot drift apart, and seeks
// act on all of them at once. Bus messages reach this object on the main thread.
class PlaybackPipeline : public QObject
{
    Q_OBJECT

public:
    static constexpr int maxVideoChannels = 5;

    // `sideSound`, when not empty, is an MPEG audio file (a rebuild's sound, as salvex writes it)
    // played from the recording's start in place of the recording's own sound.
    PlaybackPipeline(const QString &path, const QString &sideSound, PlaybackOutput output,
                     QObject *parent = nullptr);
    ~PlaybackPipeline() override;

    // Brings every branch to its first picture, paused. Throws PlaybackError when the file
    // cannot be played.
    QCoro::Task<void> preroll();

    int videoBranchCount() const;
    VideoBranch &videoBranch(int index);
    bool hasAudio() const;

    // Starts the clock once every decoder has pictures ready ahead of it (or after a short wait),
    // so that no channel starts behind the others.
    void play();
    void pause();
    // Flushes everything and prerolls every branch on the picture whose time span holds `seconds`,
    // to go on from there at the pace `rate` sets.
    void seek(double seconds);
    void setVolume(double volume);
    // How fast the recording's time runs against the clock from the next seek on. The sound keeps
    // its pitch; above twice the pace it is muted, as nobody can follow it.
    void setRate(double rate);
    double rate() const { return m_rate; }
    // Where the pipeline clock stands on the recording's time line: from 0 at the start, whatever
    // the tracks' own start times.
    std::optional<double> position() const;
    std::optional<double> duration() const;
    // The pipeline stands where it was last sent: no state change or seek under way, no start
    // waiting for the decoders. The pictures its sinks took on the way are in their queues then,
    // and their arrival is posted to the main thread.
    bool isSettled() const;

signals:
    void endOfStream();
    void failed(const QString &error);
    // Every branch holds its picture of the last seek.
    void seekDone();
    void prerollFinished();

private:
    static void onPadAdded(GstElement *demux, GstPad *pad, gpointer self);
    static void onNoMorePads(GstElement *demux, gpointer self);
    static GstBusSyncReply onBusMessage(GstBus *bus, GstMessage *message, gpointer self);

    void addBranch(GstPad *pad);
    // The chain after a sound decoder, as a description, ending in the volume and the sink.
    QByteArray soundOutput() const;
    void addSideSound(const QString &path);
    bool linkBin(GstPad *pad, const QByteArray &description, GstElement **bin);
    void handleMessage(GstMessage *message);
    void finishPreroll(const QString &error);
    void startWhenDecodersAreAhead();
    bool decodersAreAhead() const;

    PlaybackOutput m_output;
    GstElement *m_pipeline = nullptr;
    QTimer m_startTimer;
    QElapsedTimer m_startRequested;
    GstElement *m_volume = nullptr;
    int m_decoderThreads = 1;
    GstClockTime m_segmentStart = 0; // the recording's time at running time 0
    double m_rate = 1;

    mutable std::mutex m_branchesMutex; // pads arrive on the demuxer's streaming thread
    std::vector<std::unique_ptr<VideoBranch>> m_videoBranches;
    int m_videoPads = 0;
    bool m_hasAudio = false;

    bool m_noMorePads = false;
    bool m_prerolled = false;
    std::optional<QString> m_prerollError;
};

} // namespace korvane
