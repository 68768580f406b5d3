import QtQuick
import QtQuick.Controls
import Korvane.Controls as K

// The main window: 1100 x 720, centred; closing it asks first.
K.ViewerWindow {
    id: window

    // A card image shown as the inserted card, and the folder standing in for its FAT volume.
    property string cardImage
    property string cardVolume

    width: 1100
    height: 720
    minimumWidth: 900
    minimumHeight: 600
    visible: true
    title: content.viewModel.session.windowTitle

    ContentView {
        id: content
        anchors.fill: parent
        cardImage: window.cardImage
        cardVolume: window.cardVolume
    }


    // Minimised or hidden, the window has not left full screen.
    onVisibilityChanged: (visibility) => {
        if (visibility !== Window.Minimized && visibility !== Window.Hidden)
            content.viewModel.layout.isFullScreen = visibility === Window.FullScreen
    }

    onClosing: (close) => {
        close.accepted = content.quitting
        if (!content.quitting)
            content.askToQuit()
    }

    Component.onCompleted: {
        x = screen.virtualX + (screen.width - width) / 2
        y = screen.virtualY + (screen.height - height) / 2
    }
}
