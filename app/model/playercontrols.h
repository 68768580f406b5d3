#pragma once

#include <QObject>
#include <QStringList>

namespace korvane {

class MultiTrackPlayer;

// The sound, brightness and mirror controls under the video: each change is stored in the user's
// defaults, so the next recording opens with the same sound and picture, and handed to the player.
class PlayerControls : public QObject
{
    Q_OBJECT
    Q_PROPERTY(double volume READ volume NOTIFY volumeChanged)
    Q_PROPERTY(QString soundIcon READ soundIcon NOTIFY volumeChanged)
    Q_PROPERTY(double brightness READ brightness NOTIFY brightnessChanged)
    // The icon of each channel's mirror button, channel 1 first.
    Q_PROPERTY(QStringList mirrorIcons READ mirrorIcons NOTIFY mirrorModesChanged)
    // How many channels the open recording has: the controls of the others are off.
    Q_PROPERTY(int channelCount READ channelCount NOTIFY channelCountChanged)

public:
    static constexpr int channels = 5;
    static const QStringList mirrorIconNames;

    explicit PlayerControls(MultiTrackPlayer *player, QObject *parent = nullptr);

    double volume() const;
    QString soundIcon() const;
    double brightness() const;
    QStringList mirrorIcons() const;
    int mirrorMode(int channel) const;
    int channelCount() const;

    Q_INVOKABLE void setVolume(double volume);
    // Sound off, or back on at the volume it had.
    Q_INVOKABLE void toggleSound();
    Q_INVOKABLE void setBrightness(double brightness);
    Q_INVOKABLE void resetBrightness();
    // Channel 1 to 5: none, horizontal, vertical, both, and round again.
    Q_INVOKABLE void cycleMirror(int channel);

signals:
    void volumeChanged();
    void brightnessChanged();
    void mirrorModesChanged();
    void channelCountChanged();

private:
    MultiTrackPlayer *m_player;
};

} // namespace korvane
