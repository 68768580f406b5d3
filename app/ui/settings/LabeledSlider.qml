import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Controls as K

// A title over a slider in whole steps from `from` to `to`, its ends named.
ColumnLayout {
    id: labeled

    property string title
    property real value
    property string minLabel
    property string maxLabel
    property real from: 0
    property real to: 1

    signal moved(int value)

    Layout.fillWidth: true
    spacing: 2

    Label {
        text: labeled.title
        color: K.Theme.text
    }
    RowLayout {
        Layout.fillWidth: true
        spacing: 8
        Label { text: labeled.minLabel; color: K.Theme.dimText }
        Slider {
            objectName: "slider:" + labeled.title
            Layout.fillWidth: true
            from: labeled.from
            to: labeled.to
            stepSize: 1
            snapMode: Slider.SnapAlways
            value: labeled.value
            onMoved: labeled.moved(Math.trunc(value))
        }
        Label { text: labeled.maxLabel; color: K.Theme.dimText }
    }
}
