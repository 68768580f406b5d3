import QtQuick
import Korvane.Models
import Korvane.Video

// The fifth channel in a window of its own, over the main window.
Window {
    id: popup

    required property NowPlaying nowPlaying
    required property ScreenLayout layout
    required property Window mainWindow

    objectName: "popupWindow"
    title: "CH5"
    width: 400
    height: 220
    // Beside the main window where the screen has room; else over the lower part of its side
    // panel, clear of the panel's tabs and chosen picture. Inside the screen either way; the keys
    // stay with the main window.
    readonly property int screenRight: mainWindow.screen.virtualX + mainWindow.screen.width
    readonly property bool besideFits: mainWindow.x + mainWindow.width + 8 + width <= screenRight
    x: besideFits ? mainWindow.x + mainWindow.width + 8
                  : Math.max(mainWindow.screen.virtualX,
                             Math.min(mainWindow.x + mainWindow.width - width - 8,
                                      screenRight - width))
    y: besideFits ? mainWindow.y + 48
                  : Math.max(mainWindow.screen.virtualY,
                             mainWindow.y + mainWindow.height - height - 140)
    transientParent: mainWindow
    flags: Qt.Window | Qt.WindowStaysOnTopHint | Qt.WindowDoesNotAcceptFocus
    color: "black"
    visible: true

    ChannelView {
        anchors.fill: parent
        channel: popup.nowPlaying.videoPlayers.length >= 5 ? popup.nowPlaying.videoPlayers[4] : null
    }

    onClosing: popup.layout.popupClosed()
}
