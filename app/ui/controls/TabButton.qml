import QtQuick
import QtQuick.Controls as QQC

// A row of tabs. Which tab is chosen is the model's (`selectedIndex`); a click calls `select`.
Row {
    id: bar

    property var items: []
    property int selectedIndex: -1
    // With a width to fill, the tabs share it; otherwise each is as wide as its title.
    property real fitWidth: 0

    signal select(int index)

    spacing: 2

    Repeater {
        model: bar.items

        QQC.TabButton {
            id: tab

            required property string modelData
            required property int index

            objectName: "tab:" + modelData
            text: modelData
            width: bar.fitWidth > 0 ? bar.fitWidth / Math.max(1, bar.items.length) - bar.spacing
                                    : Math.max(implicitWidth, 64)
            leftPadding: bar.fitWidth > 0 ? 2 : 8
            rightPadding: bar.fitWidth > 0 ? 2 : 8
            height: 32
            focusPolicy: Qt.NoFocus
            checkable: false
            checked: bar.selectedIndex === tab.index
            palette.buttonText: checked ? Theme.text : Theme.dimText
            background: Rectangle {
                color: tab.checked ? Theme.raised : (tab.hovered ? "#20ffffff" : "transparent")
                radius: 4
                Rectangle {
                    anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
                    height: 2
                    color: tab.checked ? Theme.accent : "transparent"
                }
            }
            onClicked: bar.select(tab.index)
        }
    }
}
