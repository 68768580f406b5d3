#include "playback/audioplayer.h"

#include "playback/playbackpipeline.h"

namespace korvane {

AudioPlayer::AudioPlayer(PlaybackPipeline *pipeline, QObject *parent)
    : QObject(parent), m_pipeline(pipeline)
{
}

void AudioPlayer::setVolume(float volume)
{
    if (m_pipeline)
        m_pipeline->setVolume(volume);
    if (m_volume != volume) {
        m_volume = volume;
        emit volumeChanged();
    }
}

} // namespace korvane
