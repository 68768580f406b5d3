import QtQuick
import QtQuick.Controls

// The main window: 1100 x 720, centred; closing it asks first.
ApplicationWindow {
    id: window

    // A card image shown as the inserted card, and the folder standing in for its FAT volume.
    property string cardImage
    property string cardVolume

    width: 1100
    height: 720
    minimumWidth: 900
    minimumHeight: 600
    visible: true
    title: content.viewModel.windowTitle
    color: "#16181d"

    ContentView {
        id: content
        anchors.fill: parent
        cardImage: window.cardImage
        cardVolume: window.cardVolume
    }

    palette {
        window: "#16181d"
        windowText: "#e8eaef"
        base: "#272b34"
        alternateBase: "#1e2128"
        text: "#e8eaef"
        button: "#2d323c"
        buttonText: "#e8eaef"
        brightText: "#ffffff"
        highlight: "#3d7eff"
        highlightedText: "#ffffff"
        toolTipBase: "#2d323c"
        toolTipText: "#e8eaef"
        placeholderText: "#9aa1ae"
        light: "#3a404c"
        midlight: "#333844"
        mid: "#2a2e37"
        dark: "#121418"
        shadow: "#000000"
    }

    // Minimised or hidden, the window has not left full screen.
    onVisibilityChanged: (visibility) => {
        if (visibility !== Window.Minimized && visibility !== Window.Hidden)
            content.viewModel.isFullScreen = visibility === Window.FullScreen
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
