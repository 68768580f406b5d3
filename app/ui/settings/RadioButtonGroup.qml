import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Controls as K

// One line per option ({id, title}); the line whose id is `selection` is marked.
ColumnLayout {
    id: group

    property int selection
    property var options: []

    signal chosen(int id)

    spacing: 2

    Repeater {
        model: group.options
        delegate: ItemDelegate {
            required property var modelData

            objectName: "option:" + modelData.title
            Layout.fillWidth: true
            implicitHeight: 30
            leftPadding: 4
            icon.source: K.Theme.icon(modelData.id === group.selection ? "largecircle.fill.circle"
                                                                       : "circle")
            icon.width: 18
            icon.height: 18
            icon.color: modelData.id === group.selection ? K.Theme.accent : K.Theme.dimText
            text: modelData.title
            palette.text: K.Theme.text
            palette.windowText: K.Theme.text
            background: Rectangle {
                radius: 4
                color: parent.hovered ? K.Theme.line : "transparent"
            }
            onClicked: group.chosen(modelData.id)
        }
    }
}
