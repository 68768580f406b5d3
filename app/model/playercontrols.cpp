#include "model/playercontrols.h"

#include "playback/multitrackplayer.h"
#include "base/userdefaults.h"

#include <algorithm>

namespace korvane {

namespace {

QString flipKey(int channel)
{
    return QStringLiteral("flip") + QString::number(channel);
}

} // namespace

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
    return userDefault(QStringLiteral("volume")).toDouble();
}

QString PlayerControls::soundIcon() const
{
    return volume() == 0 ? QStringLiteral("speaker.slash.fill")
                         : QStringLiteral("speaker.wave.2.fill");
}

double PlayerControls::brightness() const
{
    return userDefault(QStringLiteral("brightness")).toDouble();
}

int PlayerControls::mirrorMode(int channel) const
{
    return userDefault(flipKey(channel)).toInt();
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
    setUserDefault(QStringLiteral("volume"), v);
    if (v > 0)
        setUserDefault(QStringLiteral("lastVolume"), v);
    m_player->setVolume(v);
    emit volumeChanged();
}

void PlayerControls::toggleSound()
{
    if (channelCount() == 0)
        return;
    double v = volume();
    if (v != 0) {
        setUserDefault(QStringLiteral("lastVolume"), v);
        v = 0;
    } else {
        const double last = userDefault(QStringLiteral("lastVolume")).toDouble();
        v = last > 0 ? last : 1.0;
    }
    setUserDefault(QStringLiteral("volume"), v);
    m_player->setVolume(v);
    emit volumeChanged();
}

void PlayerControls::setBrightness(double brightness)
{
    const double b = std::clamp(brightness, 0.0, 1.0);
    setUserDefault(QStringLiteral("brightness"), b);
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
    setUserDefault(flipKey(channel), mode);
    m_player->setFlip(channel - 1, mode);
    emit mirrorModesChanged();
}

} // namespace korvane
