import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Controls as K
import Korvane.Models

// Sound, brightness and each channel's mirroring.
Rectangle {
    id: bar

    required property AppViewModel viewModel
    readonly property PlayerControls controls: viewModel.controls

    implicitHeight: K.Theme.barHeight
    color: K.Theme.panel

    RowLayout {
        anchors { fill: parent; leftMargin: 6; rightMargin: 6 }
        spacing: 4

        K.ImageButton {
            name: "sound"
            system: bar.controls.soundIcon
            tip: qsTr("소리 켜기/끄기")
            onActivated: bar.controls.toggleSound()
        }
        Slider {
            objectName: "volume"
            Layout.preferredWidth: 120
            focusPolicy: Qt.NoFocus
            from: 0
            to: 1
            value: bar.controls.volume
            onMoved: bar.controls.setVolume(value)
        }

        Item { Layout.preferredWidth: 12 }

        K.ImageButton {
            name: "brightnessReset"
            system: "circle.lefthalf.filled"
            tip: qsTr("밝기 초기화")
            onActivated: bar.controls.resetBrightness()
        }
        Slider {
            objectName: "brightness"
            Layout.preferredWidth: 120
            focusPolicy: Qt.NoFocus
            from: 0
            to: 1
            value: bar.controls.brightness
            onMoved: bar.controls.setBrightness(value)
        }

        Item { Layout.fillWidth: true }

        Repeater {
            model: 5
            K.ImageButton {
                id: mirror
                required property int index
                name: "mirror" + (mirror.index + 1)
                system: bar.controls.mirrorIcons[mirror.index]
                tip: qsTr("CH%1 좌우/상하 반전").arg(mirror.index + 1)
                enabled: mirror.index < bar.controls.channelCount
                onActivated: bar.controls.cycleMirror(mirror.index + 1)
            }
        }
    }
}
