pragma Singleton
import QtQuick

// The colours and sizes every view of the window shares.
QtObject {
    readonly property color window: "#16181d"
    readonly property color panel: "#1e2128"
    readonly property color raised: "#272b34"
    readonly property color line: "#343945"
    readonly property color text: "#e8eaef"
    readonly property color dimText: "#9aa1ae"
    readonly property color accent: "#3d7eff"
    // A note the user should not miss, short of an alert.
    readonly property color notice: "#f2b233"
    // Marks on the seek bar: the evidence clip's span and the shocks the G-sensor felt.
    readonly property color clip: "#f2b233"
    readonly property color shock: "#ff4d4f"
    readonly property color selection: "#2c4a80"
    readonly property color video: "#000000"
    // The type labels' red, green and yellow, light enough for the selected row's blue.
    readonly property var typeColors: ({ "red": "#ff6b6b", "green": "#4be08a", "yellow": "#ffd54f",
                                         "blue": "#7cb8ff" })
    readonly property int gap: 6
    readonly property int barHeight: 40
    readonly property int fontSize: 13

    // A symbol of this module by its name.
    function icon(name) { return Qt.resolvedUrl("icons/" + name + ".svg") }
}
