import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Controls as K
import Korvane.Models

// The driving-safety functions and the lane departure sensitivity.
GroupCard {
    id: section

    required property SettingsViewModel vm

    title: qsTr("안전운행기능(ADAS) 설정")

    Switch {
        objectName: "toggle:fvsa"
        text: qsTr("앞차출발알림 기능")
        checked: section.vm.isFvsa
        onToggled: section.vm.isFvsa = checked
    }
    Switch {
        objectName: "toggle:ldws"
        text: qsTr("차선이탈감지 기능")
        checked: section.vm.isLdws
        onToggled: section.vm.isLdws = checked
    }
    Switch {
        objectName: "toggle:adasAlarm"
        text: qsTr("ADAS알림음")
        checked: section.vm.isAdasAlarm
        onToggled: section.vm.isAdasAlarm = checked
    }
    Switch {
        objectName: "toggle:safeDrive"
        text: qsTr("안전운전도우미")
        checked: section.vm.isSafeDrive
        onToggled: section.vm.isSafeDrive = checked
    }
    Label { text: qsTr("차선이탈민감도 설정"); color: K.Theme.dimText }
    LabeledSlider {
        title: qsTr("좌측")
        minLabel: qsTr("둔감")
        maxLabel: qsTr("민감")
        to: 4
        value: section.vm.ldwsLSensitivity
        onMoved: (value) => section.vm.ldwsLSensitivity = value
    }
    LabeledSlider {
        title: qsTr("우측")
        minLabel: qsTr("둔감")
        maxLabel: qsTr("민감")
        to: 4
        value: section.vm.ldwsRSensitivity
        onMoved: (value) => section.vm.ldwsRSensitivity = value
    }
}
