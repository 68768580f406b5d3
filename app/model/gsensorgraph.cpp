#include "model/gsensorgraph.h"

#include "playback/multitrackplayer.h"
#include "services/mediadataviewmodel.h"

#include <algorithm>
#include <cmath>

namespace korvane {

namespace {
constexpr double tick = 0.1; // seconds of player time per point
} // namespace

QPointF graphPoint(const GSample &sample, double duration, QSizeF size)
{
    const double across = duration > 0 ? std::clamp(sample.time / duration, 0.0, 1.0) : 0.0;
    const double up = (std::clamp(sample.value, -50, 50) + 50) / 100.0;
    return {across * size.width(), size.height() - up * size.height()};
}

double shownShare(double time, double duration)
{
    if (duration <= 0)
        return 0;
    return std::max(0.001, std::min(time / duration, 1.0));
}

void GGraphBuffer::append(const GSample &sample)
{
    m_samples.append(sample);
    emit appended();
    emit countChanged();
}

void GGraphBuffer::trim(double time)
{
    const auto later = std::find_if(m_samples.begin(), m_samples.end(),
                                    [time](const GSample &sample) { return sample.time > time; });
    if (later == m_samples.end())
        return;
    m_samples.erase(later, m_samples.end());
    emit reset();
    emit countChanged();
}

void GGraphBuffer::clear()
{
    if (m_samples.isEmpty())
        return;
    m_samples.clear();
    emit reset();
    emit countChanged();
}

GSensorGraph::GSensorGraph(MultiTrackPlayer *player, MediaDataViewModel *mediaData, QObject *parent)
    : QObject(parent), m_player(player), m_mediaData(mediaData)
{
    connect(m_player, &MultiTrackPlayer::currentTimeChanged, this,
            [this] { timeChanged(m_player->currentTime()); });
    connect(m_player, &MultiTrackPlayer::isScrubbingChanged, this, [this] {
        if (!m_player->isScrubbing())
            rebuild();
    });
    connect(m_mediaData, &MediaDataViewModel::idChanged, this, &GSensorGraph::recordsChanged);
}

void GSensorGraph::recordsChanged()
{
    // The records come after the recording opened, on a busy machine after the paused player
    // was moved: drawn at once up to where it stands, not left empty until it plays on.
    if (m_mediaData->gSensorEvents().isEmpty() || !(m_player->currentTime() > 0))
        clearAll();
    else
        rebuild();
}

void GSensorGraph::timeChanged(double now)
{
    const double last = m_lastAppendTime;
    if (last > 0 && now == 0)
        return;
    if (last == 0 && now > 0)
        appendSample(0);
    if (now < last) {
        m_x.trim(now);
        m_y.trim(now);
        m_z.trim(now);
    }
    const double k = std::round(now * 10);
    const double j = std::round(last * 10);
    if (k != j) {
        m_lastAppendTime = now;
        appendSample(k / 10);
    }
}

void GSensorGraph::appendSample(double time)
{
    const std::optional<GSensorInfo> sample = m_mediaData->gSensorAt(time);
    if (!sample)
        return;
    m_x.append({time, sample->accel.x});
    m_y.append({time, sample->accel.y});
    m_z.append({time, sample->accel.z});
}

void GSensorGraph::rebuild()
{
    rebuildUntil(m_player->currentTime());
}

void GSensorGraph::rebuildUntil(double until)
{
    clearAll();
    // Every tenth before the player's time, and the time itself when it is a tenth.
    for (int i = 0;; ++i) {
        const double t = i * tick;
        if (t > until)
            break;
        appendSample(t);
        if (t == until)
            break;
    }
    m_lastAppendTime = until;
}

void GSensorGraph::clearAll()
{
    m_lastAppendTime = 0;
    m_x.clear();
    m_y.clear();
    m_z.clear();
}

} // namespace korvane
