import QtQuick
import QtQuick.Controls

// A window of the viewer: the dark palette every control in it is drawn with.
ApplicationWindow {
    color: Theme.window

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
}
