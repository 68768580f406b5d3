#pragma once

#include <QList>
#include <QObject>
#include <QPointF>
#include <QSizeF>

namespace korvane {

class MediaDataViewModel;
class MultiTrackPlayer;

// One point of one G-sensor axis: the player's time in seconds and the value as recorded.
struct GSample
{
    double time = 0;
    int value = 0;
    friend bool operator==(const GSample &, const GSample &) = default;
};

// Where a sample is drawn in a graph of `size` for a recording of `duration` seconds: its time
// across the width, its value from +50 at the top to -50 at the bottom (beyond, at the edge).
QPointF graphPoint(const GSample &sample, double duration, QSizeF size);

// How much of the graph's width is shown at `time`: the part played, at least a sliver.
double shownShare(double time, double duration);

// The points of one axis, ascending in time. A view draws what is appended and redraws what is
// trimmed or cleared.
class GGraphBuffer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    using QObject::QObject;

    const QList<GSample> &samples() const { return m_samples; }
    int count() const { return static_cast<int>(m_samples.size()); }
    void append(const GSample &sample);
    // Keeps the samples up to `time`.
    void trim(double time);
    void clear();

signals:
    void appended();
    void reset();
    void countChanged();

private:
    QList<GSample> m_samples;
};

// The G-sensor bar's three axes, growing with playback: at most one point per tenth of a second
// of player time, at the exact tenth; a jump back cuts the later points away; the clock's reset
// to 0 is ignored. The cost of a clock tick does not grow with the recording's length.
class GSensorGraph : public QObject
{
    Q_OBJECT
    Q_PROPERTY(korvane::GGraphBuffer *bufferX READ bufferX CONSTANT)
    Q_PROPERTY(korvane::GGraphBuffer *bufferY READ bufferY CONSTANT)
    Q_PROPERTY(korvane::GGraphBuffer *bufferZ READ bufferZ CONSTANT)

public:
    GSensorGraph(MultiTrackPlayer *player, MediaDataViewModel *mediaData,
                 QObject *parent = nullptr);

    GGraphBuffer *bufferX() { return &m_x; }
    GGraphBuffer *bufferY() { return &m_y; }
    GGraphBuffer *bufferZ() { return &m_z; }
    double lastAppendTime() const { return m_lastAppendTime; }

    // The player's clock moved to `now`.
    void timeChanged(double now);
    void appendSample(double time);
    // Drawn anew from 0 to the player's time: when the bar appears and when a drag of the seek
    // bar ends.
    Q_INVOKABLE void rebuild();
    void rebuildUntil(double until);
    // When the bar goes away and when another recording opens.
    Q_INVOKABLE void clearAll();

private:
    // Another recording's data, or this one's arriving: emptied, or drawn up to the player's time.
    void recordsChanged();

    MultiTrackPlayer *m_player;
    MediaDataViewModel *m_mediaData;
    GGraphBuffer m_x;
    GGraphBuffer m_y;
    GGraphBuffer m_z;
    double m_lastAppendTime = 0;
};

} // namespace korvane
