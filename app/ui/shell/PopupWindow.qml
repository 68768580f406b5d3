import QtQuick
import Korvane.Models
import Korvane.Video

// The fifth channel in a window of its own, over the main window.
Window {
    id: popup

    required property AppViewModel viewModel
    required property Window mainWindow

    objectName: "popupWindow"
    title: "CH5"
    width: 400
    height: 220
    x: mainWindow.screen.virtualX
    y: mainWindow.screen.virtualY
    transientParent: mainWindow
    flags: Qt.Window | Qt.WindowStaysOnTopHint
    color: "black"
    visible: true

    ChannelView {
        anchors.fill: parent
        channel: popup.viewModel.videoPlayers.length >= 5 ? popup.viewModel.videoPlayers[4] : null
    }

    onClosing: popup.viewModel.popupClosed()
}
