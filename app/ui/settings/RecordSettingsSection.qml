import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Models

// Sound, sensitivities and what the dashcam says and records.
GroupCard {
    id: section

    required property SettingsViewModel vm

    title: qsTr("설정")

    LabeledSlider {
        title: qsTr("시스템 볼륨")
        minLabel: qsTr("사용안함")
        maxLabel: qsTr("최대")
        to: 3
        value: section.vm.volumeIndex
        onMoved: (value) => section.vm.volumeIndex = value
    }
    LabeledSlider {
        title: qsTr("이벤트 감도")
        minLabel: qsTr("둔감")
        maxLabel: qsTr("민감")
        to: 2
        value: section.vm.eventSensitivity
        onMoved: (value) => section.vm.eventSensitivity = value
    }
    LabeledSlider {
        title: qsTr("모션 감도")
        minLabel: qsTr("둔감")
        maxLabel: qsTr("민감")
        to: 2
        value: section.vm.motionSensitivity
        onMoved: (value) => section.vm.motionSensitivity = value
    }
    CheckBox {
        objectName: "check:voiceRecording"
        text: qsTr("음성 녹음")
        checked: section.vm.isVoiceRecording
        onToggled: section.vm.isVoiceRecording = checked
    }
    CheckBox {
        objectName: "check:voiceGuide"
        text: qsTr("음성 안내")
        checked: section.vm.isVoiceGuide
        onToggled: section.vm.isVoiceGuide = checked
    }
    CheckBox {
        objectName: "check:effectSound"
        text: qsTr("효과음")
        checked: section.vm.isEffectSound
        onToggled: section.vm.isEffectSound = checked
    }
}
