import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Controls as K

// A label and its value on one line.
RowLayout {
    property string title
    property string value

    Layout.fillWidth: true
    spacing: 12

    Label { text: parent.title; color: K.Theme.dimText }
    Item { Layout.fillWidth: true }
    Label {
        objectName: "value:" + parent.title
        text: parent.value
        // What the dashcam's files say, shown as it is: a card may hold any text.
        textFormat: Text.PlainText
        color: K.Theme.text
    }
}
