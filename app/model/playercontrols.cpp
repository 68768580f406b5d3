#include "model/playercontrols.h"

#include "base/userdefaults.h"
#include "playback/multitrackplayer.h"

#include <algorithm>

namespace korvane {

const QStringList PlayerControls::mirrorIconNames = {
    QStringLiteral("mirror1_normal"), QStringLiteral("mirror1_horizontal"),
    QStringLiteral("mirror1_vertical"), QStringLiteral("mirror1_all")};

PlayerControls::PlayerControls(MultiTrackPlayer *player, QObject *parent)
    : QObject(parent), m_player(player)
{
    connect(m_player, &MultiTrackPlayer::videoPlayersChanged, this,
            &PlayerControls::channelCountChanged);
}

double PlayerControls::volume() const
{
    return UserSettings::volume();
}

QString PlayerControls::soundIcon() const
{
    return volume() == 0 ? QStringLiteral("speaker.slash.fill")
                         : QStringLiteral("speaker.wave.2.fill");
}

double PlayerControls::brightness() const
{
    return UserSettings::brightness();
}

int PlayerControls::mirrorMode(int channel) const
{
    return UserSettings::mirrorMode(channel);
}

QStringList PlayerControls::mirrorIcons() const
{
    QStringList icons;
    for (int channel = 1; channel <= channels; ++channel) {
        // A mode edited in by hand outside 0 to 3 shows as no mirroring.
        const int mode = mirrorMode(channel);
        icons.append(mirrorIconNames.value(mode, mirrorIconNames.first()));
    }
    return icons;
}

int PlayerControls::channelCount() const
{
    return static_cast<int>(m_player->videoPlayers().size());
}

void PlayerControls::setVolume(double volume)
{
    const double v = std::clamp(volume, 0.0, 1.0);
    UserSettings::setVolume(v);
    if (v > 0)
        UserSettings::setLastVolume(v);
    m_player->setVolume(v);
    emit volumeChanged();
}

void PlayerControls::toggleSound()
{
    if (channelCount() == 0)
        return;
    double v = volume();
    if (v != 0) {
        UserSettings::setLastVolume(v);
        v = 0;
    } else {
        const double last = UserSettings::lastVolume();
        v = last > 0 ? last : 1.0;
    }
    UserSettings::setVolume(v);
    m_player->setVolume(v);
    emit volumeChanged();
}

void PlayerControls::setBrightness(double brightness)
{
    const double b = std::clamp(brightness, 0.0, 1.0);
    UserSettings::setBrightness(b);
    m_player->setBrightness(b);
    emit brightnessChanged();
}

void PlayerControls::resetBrightness()
{
    if (channelCount() > 0)
        setBrightness(0.5);
}

void PlayerControls::cycleMirror(int channel)
{
    if (channel < 1 || channel > channelCount())
        return;
    const int mode = (mirrorMode(channel) + 1) % static_cast<int>(mirrorIconNames.size());
    UserSettings::setMirrorMode(channel, mode);
    m_player->setFlip(channel - 1, mode);
    emit mirrorModesChanged();
}

} // namespace korvane
