import QtQuick
import QtQuick.Controls
import Korvane.Controls as K

// The main window: where it was last closed, or centred at 85 % of the screen's free area;
// closing it asks first.
K.ViewerWindow {
    id: window

    // A card image shown as the inserted card, and the folder standing in for its FAT volume.
    property string cardImage
    property string cardVolume

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
        else if (visibility === Window.Windowed)
            content.viewModel.layout.keepWindowGeometry(Qt.rect(x, y, width, height))
    }

    Component.onCompleted: {
        const layout = content.viewModel.layout
        const placed = layout.openingWindowGeometry(layout.freeArea(window),
                                                    Qt.size(minimumWidth, minimumHeight))
        x = placed.x
        y = placed.y
        width = placed.width
        height = placed.height
    }
}
