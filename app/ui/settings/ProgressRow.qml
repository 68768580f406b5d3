import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Controls as K

// A title, a bar filled to `value` percent, and the value in whole percent.
RowLayout {
    id: row

    property string title
    property real value
    property color color

    Layout.fillWidth: true
    spacing: 10

    Label {
        Layout.preferredWidth: 130
        text: row.title
        color: K.Theme.text
    }
    Rectangle {
        Layout.fillWidth: true
        implicitHeight: 10
        radius: 5
        color: K.Theme.line
        Rectangle {
            width: parent.width * Math.max(0, Math.min(row.value, 100)) / 100
            height: parent.height
            radius: 5
            color: row.color
        }
    }
    Label {
        objectName: "percent:" + row.title
        Layout.preferredWidth: 40
        horizontalAlignment: Text.AlignRight
        text: Math.round(row.value) + "%"
        color: K.Theme.text
    }
}
