import QtQuick
import QtQuick.Controls
import Korvane.Controls as K
import Korvane.Models

// The rows of the chosen type, newest first. A click or Enter opens a row; the arrow keys move
// the cursor.
ListView {
    id: list

    required property RecordingLibrary library
    required property RecordingOpener opener

    objectName: "fileList"
    model: library.filtered
    clip: true
    focus: true
    keyNavigationEnabled: true
    currentIndex: -1
    boundsBehavior: Flickable.StopAtBounds
    ScrollBar.vertical: ScrollBar {}

    Keys.onReturnPressed: opener.open(currentIndex)
    Keys.onEnterPressed: opener.open(currentIndex)

    // New rows: the cursor goes back to the open recording, if it is among them.
    onCountChanged: currentIndex = library.selectedIndex

    // The cursor starts on the open recording.
    Connections {
        target: list.library
        function onSelectedIndexChanged() {
            if (list.library.selectedIndex >= 0)
                list.currentIndex = list.library.selectedIndex
        }
    }

    Label {
        anchors.centerIn: parent
        visible: list.count === 0
        text: qsTr("녹화 영상이 없습니다.")
        color: K.Theme.dimText
    }

    delegate: Rectangle {
        id: row

        required property int index
        required property bool checked
        required property string typeLabel
        required property string typeColor
        required property string date
        required property string size
        required property bool selected
        required property double copyProgress

        width: ListView.view.width
        height: 34
        color: selected ? K.Theme.selection : (mouse.containsMouse ? K.Theme.raised : "transparent")
        border.color: ListView.isCurrentItem && list.activeFocus ? K.Theme.accent : "transparent"
        radius: 3

        MouseArea {
            id: mouse
            anchors.fill: parent
            hoverEnabled: true
            onClicked: {
                list.currentIndex = row.index
                list.forceActiveFocus()
                list.opener.open(row.index)
            }
        }

        Row {
            anchors.verticalCenter: parent.verticalCenter
            CheckBox {
                width: 32
                focusPolicy: Qt.NoFocus
                checked: row.checked
                onToggled: list.library.setChecked(row.index, checked)
            }
            Label {
                width: 80
                anchors.verticalCenter: parent.verticalCenter
                horizontalAlignment: Text.AlignHCenter
                text: row.typeLabel
                font.bold: true
                color: K.Theme.typeColors[row.typeColor] ?? K.Theme.text
            }
            Label {
                width: 200
                anchors.verticalCenter: parent.verticalCenter
                text: row.date
                textFormat: Text.PlainText
                color: K.Theme.text
            }
            Label {
                width: 80
                anchors.verticalCenter: parent.verticalCenter
                horizontalAlignment: Text.AlignRight
                text: row.size
                color: K.Theme.dimText
            }
        }

        // How far the background copy of this row has come.
        Rectangle {
            objectName: "copyProgress"
            visible: row.copyProgress >= 0
            anchors { left: parent.left; bottom: parent.bottom; leftMargin: 32 }
            height: 3
            width: (parent.width - 32) * Math.max(0, row.copyProgress)
            color: K.Theme.accent
        }
    }
}
