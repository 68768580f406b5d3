#include "model/screenlayout.h"

#include "base/applog.h"
#include "base/published.h"
#include "base/userdefaults.h"
#include "model/cardsession.h"
#include "model/nowplaying.h"

#include <QScreen>

#include <algorithm>

namespace korvane {

namespace {

QString mapTab()
{
    return ScreenLayout::tr("지도");
}

// Without full screen the fifth channel has a window of its own instead of a tab.
constexpr int channelsInWindow = 4;

QString channelTab(int channel)
{
    return QStringLiteral("CH") + QString::number(channel);
}

} // namespace

ScreenLayout::ScreenLayout(NowPlaying *nowPlaying, CardSession *session, QObject *parent)
    : QObject(parent), m_nowPlaying(nowPlaying)
{
    connect(nowPlaying, &NowPlaying::videoPlayersChanged, this, &ScreenLayout::layoutChanged);
    connect(this, &ScreenLayout::videoViewChanged, this, &ScreenLayout::layoutChanged);
    connect(this, &ScreenLayout::videoChannelChanged, this, &ScreenLayout::layoutChanged);
    connect(session, &CardSession::cardLeft, this, [this] { setIsPopupOpen(false); });
}

int ScreenLayout::channelCount() const
{
    return static_cast<int>(m_nowPlaying->videoPlayers().size());
}

void ScreenLayout::setVideoView(VideoView view, int channel)
{
    if (m_videoView == view && m_largeChannel == channel)
        return;
    m_videoView = view;
    m_largeChannel = channel;
    emit videoViewChanged();
    if (!canMagnify() && m_showMagnifier) {
        m_showMagnifier = false;
        emit showMagnifierChanged();
    }
}

void ScreenLayout::showAllChannels()
{
    setVideoView(VideoView::AllChannels, 0);
}

void ScreenLayout::showChannel(int channel)
{
    setVideoView(VideoView::OneChannel, channel);
}

void ScreenLayout::showMap()
{
    setVideoView(VideoView::Map, 0);
}

void ScreenLayout::setVideoChannel(int channel)
{
    publish(this, m_videoChannel, channel, &ScreenLayout::videoChannelChanged);
}

ScreenLayout::SideView ScreenLayout::sideView() const
{
    const int count = channelCount();
    // Until a choice is made the side panel shows the route rather than an empty place.
    if (count > 0 && (m_videoChannel == channelsInWindow || m_videoChannel < 0))
        return SideView::Map;
    if (m_videoChannel >= 0 && m_videoChannel < std::min(count, channelsInWindow))
        return SideView::Channel;
    return SideView::Nothing;
}

int ScreenLayout::sideChannel() const
{
    return sideView() == SideView::Channel ? m_videoChannel : -1;
}

void ScreenLayout::setIsPopupOpen(bool open)
{
    publish(this, m_isPopupOpen, open, &ScreenLayout::isPopupOpenChanged);
}

void ScreenLayout::recordingLoaded(int channels)
{
    if (m_previousChannels != channels)
        setVideoChannel(-1);
    // A channel the new recording lacks is neither shown large nor in a window of its own.
    if (m_largeChannel > channels)
        showAllChannels();
    if (channels < 5)
        setIsPopupOpen(false);
    m_previousChannels = channels;
}

QStringList ScreenLayout::layoutTabs() const
{
    const int count = channelCount();
    if (count == 0)
        return {};
    QStringList tabs{QStringLiteral("ALL")};
    const int shown = m_isFullScreen ? std::min(count, 5) : std::min(count, channelsInWindow);
    for (int channel = 1; channel <= shown; ++channel)
        tabs.append(channelTab(channel));
    tabs.append(mapTab());
    return tabs;
}

int ScreenLayout::layoutTabIndex() const
{
    const QStringList tabs = layoutTabs();
    if (tabs.isEmpty())
        return -1;
    if (m_videoView == VideoView::Map)
        return static_cast<int>(tabs.size()) - 1;
    return std::min(m_largeChannel, static_cast<int>(tabs.size()) - 2);
}

void ScreenLayout::selectLayoutTab(int index)
{
    const int count = static_cast<int>(layoutTabs().size());
    if (index < 0 || index >= count)
        return;
    if (index + 1 == count)
        showMap();
    else if (index == 0)
        showAllChannels();
    else
        showChannel(index);
}

QStringList ScreenLayout::sideTabs() const
{
    const int count = channelCount();
    if (count == 0)
        return {};
    QStringList tabs;
    for (int channel = 1; channel <= std::min(count, channelsInWindow); ++channel)
        tabs.append(channelTab(channel));
    tabs.append(mapTab());
    return tabs;
}

int ScreenLayout::sideTabIndex() const
{
    const QStringList tabs = sideTabs();
    if (tabs.isEmpty())
        return -1;
    if (m_videoChannel == channelsInWindow || m_videoChannel < 0)
        return static_cast<int>(tabs.size()) - 1;
    return m_videoChannel < tabs.size() - 1 ? m_videoChannel : -1;
}

void ScreenLayout::selectSideTab(int index)
{
    const QStringList tabs = sideTabs();
    if (index < 0 || index >= tabs.size())
        return;
    setVideoChannel(index == tabs.size() - 1 ? channelsInWindow : index);
}

void ScreenLayout::setIsFullScreen(bool on)
{
    if (m_isFullScreen == on)
        return;
    appLog(logWindow, on ? "[WindowDelegate] windowWillEnterFullScreen"
                         : "[WindowDelegate] windowWillExitFullScreen");
    m_isFullScreen = on;
    emit isFullScreenChanged();
    if (on) {
        setIsPopupOpen(false);
    } else if (m_largeChannel == 5) {
        // The "CH5" tab exists only in full screen: the channel goes back to its own window.
        showAllChannels();
        openPopup();
    }
    emit layoutChanged();
}

void ScreenLayout::toggleMagnifier()
{
    if (!canMagnify())
        return;
    m_showMagnifier = !m_showMagnifier;
    emit showMagnifierChanged();
}

void ScreenLayout::toggleList()
{
    m_listShown = !m_listShown;
    emit panelsChanged();
}

void ScreenLayout::toggleSidePanel()
{
    m_sidePanelShown = !m_sidePanelShown;
    emit panelsChanged();
}

QRect ScreenLayout::openingWindowGeometry(const QRect &available, const QSize &minimum)
{
    const QRect kept = UserSettings::windowGeometry();
    if (kept.isValid() && available.contains(kept) && kept.width() >= minimum.width() &&
        kept.height() >= minimum.height())
        return kept;
    const QSize size = QSize(available.width() * 85 / 100, available.height() * 85 / 100)
                           .expandedTo(minimum)
                           .boundedTo(available.size());
    QRect placed({}, size);
    placed.moveCenter(available.center());
    return placed;
}

QRect ScreenLayout::freeArea(QWindow *window)
{
    return window && window->screen() ? window->screen()->availableGeometry() : QRect();
}

void ScreenLayout::keepWindowGeometry(const QRect &geometry)
{
    if (geometry.isValid())
        UserSettings::setWindowGeometry(geometry);
}

void ScreenLayout::openPopup()
{
    if (channelCount() >= 5 && !m_isFullScreen)
        setIsPopupOpen(true);
}

void ScreenLayout::popupClosed()
{
    if (!m_isPopupOpen)
        return;
    appLog(logWindow, "[PopupWindow] windowWillClose");
    setIsPopupOpen(false);
}

void ScreenLayout::togglePopup()
{
    if (m_isPopupOpen)
        popupClosed();
    else
        openPopup();
}

} // namespace korvane
