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
    // Over the main window's side panel, inside its screen; the keys stay with the main window.
    x: Math.max(mainWindow.screen.virtualX,
                Math.min(mainWindow.x + mainWindow.width - width - 16,
                         mainWindow.screen.virtualX + mainWindow.screen.width - width))
    y: Math.max(mainWindow.screen.virtualY, mainWindow.y + 96)
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
