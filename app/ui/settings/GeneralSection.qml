import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Models

// Power cut-off, screen, quality, recording time, the dashcam's clock and secret mode.
GroupCard {
    id: section

    required property SettingsViewModel vm

    title: qsTr("기타설정")

    LabeledPicker {
        title: qsTr("전압설정(V)")
        items: section.vm.voltageItems
        selection: section.vm.limitVoltIndex
        onPicked: (index) => section.vm.limitVoltIndex = index
    }
    Label {
        Layout.fillWidth: true
        text: qsTr("* 저전압 차단 OFF 시 차량 배터리 방전 위험이 있습니다.")
        color: "#ff6b6b"
        wrapMode: Text.Wrap
        font.pixelSize: 12
    }
    LabeledPicker {
        title: qsTr("LCD시간")
        items: [qsTr("상시전원"), qsTr("1분"), qsTr("3분"), qsTr("시계화면")]
        selection: section.vm.lcdOffTimeIndex
        onPicked: (index) => section.vm.lcdOffTimeIndex = index
    }
    LabeledPicker {
        title: qsTr("녹화화질")
        items: [qsTr("저화질"), qsTr("고화질")]
        selection: section.vm.recQuality
        onPicked: (index) => section.vm.recQuality = index
    }
    LabeledPicker {
        title: qsTr("녹화시간")
        items: ["Off", qsTr("6시간"), qsTr("12시간"), qsTr("24시간"), qsTr("48시간")]
        selection: section.vm.recTimeIndex
        onPicked: (index) => section.vm.recTimeIndex = index
    }
    Switch {
        objectName: "toggle:timeSync"
        text: qsTr("PC 시간 동기화")
        checked: section.vm.isTimeSyncEnabled
        onToggled: section.vm.isTimeSyncEnabled = checked
    }
    RowLayout {
        spacing: 12
        enabled: section.vm.isTimeSyncEnabled
        Label { text: qsTr("날짜") }
        TextField {
            objectName: "field:day"
            Layout.preferredWidth: 110
            inputMask: "9999-99-99"
            text: section.vm.changedDay
            onEditingFinished: {
                section.vm.changedDay = text
                text = Qt.binding(() => section.vm.changedDay)
            }
        }
        Label { text: qsTr("시간") }
        TextField {
            objectName: "field:clock"
            Layout.preferredWidth: 70
            inputMask: "99:99"
            text: section.vm.changedClock
            onEditingFinished: {
                section.vm.changedClock = text
                text = Qt.binding(() => section.vm.changedClock)
            }
        }
    }
    LabeledPicker {
        title: qsTr("세계표준시(시간)")
        items: section.vm.gmtList
        selection: section.vm.gmtIndex
        onPicked: (index) => section.vm.gmtIndex = index
    }
    Switch {
        objectName: "toggle:secretMode"
        visible: section.vm.useSecretMode
        text: qsTr("시크릿 모드")
        checked: section.vm.isSecretMode
        onToggled: section.vm.isSecretMode = checked
    }
}
