import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Controls as K
import Korvane.Models

// Where playback is: the time, the seek bar, the length, and the speed at this moment (a double
// click saves the GPS log to the card).
Rectangle {
    id: bar

    required property AppViewModel viewModel
    readonly property MultiTrackPlayer player: viewModel.playerManager

    implicitHeight: K.Theme.barHeight
    color: K.Theme.panel

    RowLayout {
        anchors { fill: parent; leftMargin: 10; rightMargin: 10 }
        spacing: 10

        Label {
            objectName: "currentTime"
            // While the bar is dragged: the time it would seek to.
            text: seek.pressed ? bar.viewModel.timeTextAt(seek.value) : bar.viewModel.currentTimeText
            color: K.Theme.text
            font.family: "monospace"
        }
        Slider {
            id: seek
            objectName: "seekBar"
            Layout.fillWidth: true
            focusPolicy: Qt.NoFocus
            enabled: bar.viewModel.videoPlayers.length > 0
            from: 0
            to: 1
            value: bar.player.progress
            onPressedChanged: {
                if (pressed) {
                    bar.player.isScrubbing = true
                } else {
                    bar.player.isScrubbing = false
                    bar.player.seek(value)
                }
            }
        }
        Label {
            objectName: "duration"
            text: bar.viewModel.durationText
            color: K.Theme.dimText
            font.family: "monospace"
        }
        Label {
            objectName: "speed"
            Layout.preferredWidth: 80
            horizontalAlignment: Text.AlignRight
            text: bar.viewModel.speedText
            color: K.Theme.text
            font.bold: true
            ToolTip.visible: speedMouse.containsMouse
            ToolTip.text: qsTr("두 번 누르면 GPS 기록(location.txt)을 SD 카드에 저장합니다")
            ToolTip.delay: 600
            MouseArea {
                id: speedMouse
                anchors.fill: parent
                hoverEnabled: true
                onDoubleClicked: bar.viewModel.exportLocation()
            }
        }
    }
}
