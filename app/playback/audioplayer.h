#pragma once

#include <QObject>

namespace korvane {

class PlaybackPipeline;

// The sound branch of the open recording (its first sound track).
class AudioPlayer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(double volume READ volume NOTIFY volumeChanged)

public:
    explicit AudioPlayer(PlaybackPipeline *pipeline, QObject *parent = nullptr);

    double volume() const { return m_volume; }
    void setVolume(float volume);
    void detach() { m_pipeline = nullptr; }

signals:
    void volumeChanged();

private:
    PlaybackPipeline *m_pipeline = nullptr;
    double m_volume = 1.0;
};

} // namespace korvane
