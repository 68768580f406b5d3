// What the player screen shows where: the layout tabs of the video area, the side panel's picker,
// full screen and the fifth channel's own window.
#include "model/appviewmodel.h"

#include "base/applog.h"
#include "card/savedfiles.h"
#include "playback/snapshot.h"

#include <cmath>

namespace korvane {

namespace {

const QString mapTab = QStringLiteral("Map View");

// Without full screen the fifth channel has a window of its own instead of a tab.
constexpr int channelsInWindow = 4;

QString channelTab(int channel)
{
    return QStringLiteral("CH") + QString::number(channel);
}

} // namespace

QStringList AppViewModel::layoutTabs() const
{
    const int count = static_cast<int>(m_videoPlayers.size());
    if (count == 0)
        return {};
    QStringList tabs{QStringLiteral("ALL")};
    const int shown = m_isFullScreen ? std::min(count, 5) : std::min(count, channelsInWindow);
    for (int channel = 1; channel <= shown; ++channel)
        tabs.append(channelTab(channel));
    tabs.append(mapTab);
    return tabs;
}

int AppViewModel::layoutTabIndex() const
{
    const QStringList tabs = layoutTabs();
    if (tabs.isEmpty())
        return -1;
    if (m_videoMode < 0)
        return static_cast<int>(tabs.size()) - 1;
    return std::min(m_videoMode, static_cast<int>(tabs.size()) - 2);
}

void AppViewModel::selectLayoutTab(int index)
{
    const int count = static_cast<int>(layoutTabs().size());
    if (index < 0 || index >= count)
        return;
    setVideoMode(index + 1 < count ? index : -1);
}

QStringList AppViewModel::sideTabs() const
{
    const int count = static_cast<int>(m_videoPlayers.size());
    if (count == 0)
        return {};
    QStringList tabs;
    for (int channel = 1; channel <= std::min(count, channelsInWindow); ++channel)
        tabs.append(channelTab(channel));
    tabs.append(mapTab);
    return tabs;
}

int AppViewModel::sideTabIndex() const
{
    const QStringList tabs = sideTabs();
    if (tabs.isEmpty() || m_videoChannel < 0)
        return -1;
    if (m_videoChannel == channelsInWindow)
        return static_cast<int>(tabs.size()) - 1;
    return m_videoChannel < tabs.size() - 1 ? m_videoChannel : -1;
}

void AppViewModel::selectSideTab(int index)
{
    const QStringList tabs = sideTabs();
    if (index < 0 || index >= tabs.size())
        return;
    setVideoChannel(index == tabs.size() - 1 ? channelsInWindow : index);
}

void AppViewModel::setIsFullScreen(bool on)
{
    if (m_isFullScreen == on)
        return;
    appLog(on ? "[WindowDelegate] windowWillEnterFullScreen"
              : "[WindowDelegate] windowWillExitFullScreen");
    m_isFullScreen = on;
    emit isFullScreenChanged();
    if (on) {
        setIsPopupOpen(false);
    } else if (m_videoMode == 5) {
        // The "CH5" tab exists only in full screen: the channel goes back to its own window.
        setVideoMode(0);
        openPopup();
    }
    emit layoutChanged();
}

void AppViewModel::setIsPopupOpen(bool open)
{
    if (m_isPopupOpen != open) {
        m_isPopupOpen = open;
        emit isPopupOpenChanged();
    }
}

void AppViewModel::openPopup()
{
    if (m_videoPlayers.size() >= 5 && !m_isFullScreen)
        setIsPopupOpen(true);
}

void AppViewModel::popupClosed()
{
    if (!m_isPopupOpen)
        return;
    appLog("[PopupWindow] windowWillClose");
    setIsPopupOpen(false);
}

void AppViewModel::togglePopup()
{
    if (m_isPopupOpen)
        popupClosed();
    else
        openPopup();
}

QString AppViewModel::openTitle() const
{
    if (m_videoPlayers.isEmpty() || !m_openRecording)
        return {};
    const FileListItem &row = *m_openRecording;
    const auto type = typeNames.indexOf(row.type);
    const QString title = type >= 0 ? tr(typeTitles[type].toUtf8().constData()) : row.type;
    return row.dateText() + QStringLiteral(" · ") + title;
}

QString AppViewModel::clockText(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0)
        return QStringLiteral("00:00:00");
    const auto s = static_cast<qint64>(seconds);
    return QString::asprintf("%02lld:%02lld:%02lld", s / 3600, (s % 3600) / 60, s % 60);
}

void AppViewModel::saveSnapshots(const QUrl &folder)
{
    // The recording that plays, also while another tab hides its row.
    if (!m_openRecording || m_videoPlayers.isEmpty() || !folder.isLocalFile())
        return;
    // Named after the recording as the card names it, short enough for the time and channel
    // the snapshot's name adds.
    const QString name = suffixedFileName(
        savedFileName(m_openRecording->name, folderFileSystem(folder.toLocalFile())), QString(),
        200);
    saveChannelSnapshots(m_videoPlayers, name, folder);
}

} // namespace korvane
