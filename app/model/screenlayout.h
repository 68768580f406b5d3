#pragma once

#include <QObject>
#include <QRect>
#include <QStringList>
#include <QWindow>

namespace korvane {

class CardSession;
class NowPlaying;

// What the player screen shows where: the layout tabs of the video area, the side panel's
// picker, full screen, the fifth channel's own window and the magnifier. Main thread only.
class ScreenLayout : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isFullScreen READ isFullScreen WRITE setIsFullScreen NOTIFY isFullScreenChanged)
    // What the video area shows; with one channel, which one (1 to 5, else 0).
    Q_PROPERTY(korvane::ScreenLayout::VideoView videoView READ videoView NOTIFY videoViewChanged)
    Q_PROPERTY(int largeChannel READ largeChannel NOTIFY videoViewChanged)
    // The side panel's choice as stored: -1 none yet (the map is shown), 0 to 3 camera channel
    // 1 to 4, 4 the map.
    Q_PROPERTY(int videoChannel READ videoChannel WRITE setVideoChannel NOTIFY videoChannelChanged)
    // What the side panel shows of that choice for the recording loaded; with a channel, its
    // index among the recording's channels (else -1).
    Q_PROPERTY(korvane::ScreenLayout::SideView sideView READ sideView NOTIFY layoutChanged)
    Q_PROPERTY(int sideChannel READ sideChannel NOTIFY layoutChanged)
    Q_PROPERTY(bool showMagnifier READ showMagnifier NOTIFY showMagnifierChanged)
    // The magnifier works on one channel shown large.
    Q_PROPERTY(bool canMagnify READ canMagnify NOTIFY videoViewChanged)
    // The list and the side panel; either can be folded away to give the video their width.
    Q_PROPERTY(bool listShown READ listShown NOTIFY panelsChanged)
    Q_PROPERTY(bool sidePanelShown READ sidePanelShown NOTIFY panelsChanged)
    Q_PROPERTY(bool isPopupOpen READ isPopupOpen NOTIFY isPopupOpenChanged)
    // The video area's layout tabs and the side panel's picker, with the entry chosen in each.
    Q_PROPERTY(QStringList layoutTabs READ layoutTabs NOTIFY layoutChanged)
    Q_PROPERTY(int layoutTabIndex READ layoutTabIndex NOTIFY layoutChanged)
    Q_PROPERTY(QStringList sideTabs READ sideTabs NOTIFY layoutChanged)
    Q_PROPERTY(int sideTabIndex READ sideTabIndex NOTIFY layoutChanged)

public:
    enum class VideoView
    {
        AllChannels,
        OneChannel,
        Map
    };
    Q_ENUM(VideoView)

    // A choice of a channel the recording lacks, or any choice without a recording, shows
    // nothing.
    enum class SideView
    {
        Nothing,
        Channel,
        Map
    };
    Q_ENUM(SideView)

    ScreenLayout(NowPlaying *nowPlaying, CardSession *session, QObject *parent = nullptr);

    bool isFullScreen() const { return m_isFullScreen; }
    void setIsFullScreen(bool on);
    VideoView videoView() const { return m_videoView; }
    int largeChannel() const { return m_largeChannel; }
    void showAllChannels();
    // Camera channel 1 to 5 large.
    void showChannel(int channel);
    void showMap();
    int videoChannel() const { return m_videoChannel; }
    void setVideoChannel(int channel);
    SideView sideView() const;
    int sideChannel() const;
    bool showMagnifier() const { return m_showMagnifier; }
    bool isPopupOpen() const { return m_isPopupOpen; }
    QStringList layoutTabs() const;
    int layoutTabIndex() const;
    QStringList sideTabs() const;
    int sideTabIndex() const;

    // A recording of `channels` cameras was loaded: what it lacks is not shown.
    void recordingLoaded(int channels);

    Q_INVOKABLE void selectLayoutTab(int index);
    Q_INVOKABLE void selectSideTab(int index);
    bool canMagnify() const { return m_videoView == VideoView::OneChannel; }
    // Outside the one-channel view the button does nothing: its tool tip says why.
    Q_INVOKABLE void toggleMagnifier();
    bool listShown() const { return m_listShown; }
    bool sidePanelShown() const { return m_sidePanelShown; }
    Q_INVOKABLE void toggleList();
    Q_INVOKABLE void toggleSidePanel();

    // Where the main window opens on a screen whose free area is `available`: where it was last
    // closed when that still fits there, else centred at 85 % of the area, never under `minimum`.
    Q_INVOKABLE static QRect openingWindowGeometry(const QRect &available, const QSize &minimum);
    // The window's place and size when it closes, for the next start.
    Q_INVOKABLE static void keepWindowGeometry(const QRect &geometry);
    // The free area (without panels and docks) of the screen the window is on.
    Q_INVOKABLE static QRect freeArea(QWindow *window);
    // Outside full screen only: there the fifth channel has a tab.
    Q_INVOKABLE void openPopup();
    // The fifth channel's window was closed.
    Q_INVOKABLE void popupClosed();
    // The "CH5" button: opens the fifth channel's window, or closes it when it is open.
    Q_INVOKABLE void togglePopup();

signals:
    void isFullScreenChanged();
    void videoViewChanged();
    void videoChannelChanged();
    void showMagnifierChanged();
    void isPopupOpenChanged();
    void layoutChanged();
    void panelsChanged();

private:
    int channelCount() const;
    void setIsPopupOpen(bool open);

    NowPlaying *m_nowPlaying;
    void setVideoView(VideoView view, int channel);

    VideoView m_videoView = VideoView::AllChannels;
    int m_largeChannel = 0;
    int m_videoChannel = -1;
    int m_previousChannels = 0; // of the recording loaded before
    bool m_isFullScreen = false;
    bool m_showMagnifier = false;
    bool m_isPopupOpen = false;
    bool m_listShown = true;
    bool m_sidePanelShown = true;
};

} // namespace korvane
