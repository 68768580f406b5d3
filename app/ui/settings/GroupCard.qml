import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Controls as K

// A card with its title above what it holds.
Rectangle {
    id: card

    property string title
    default property alias content: column.data

    Layout.fillWidth: true
    implicitWidth: column.implicitWidth + 28
    implicitHeight: column.implicitHeight + 24
    radius: 8
    color: K.Theme.raised
    border.color: K.Theme.line

    ColumnLayout {
        id: column
        anchors { left: parent.left; right: parent.right; top: parent.top; margins: 12 }
        spacing: 6

        Label {
            visible: card.title !== ""
            text: card.title
            font.pixelSize: 15
            font.bold: true
            color: K.Theme.text
        }
    }
}
