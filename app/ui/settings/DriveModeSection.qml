import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Controls as K
import Korvane.Models

// How the dashcam records while driving and while parked.
GroupCard {
    id: section

    required property SettingsViewModel vm

    Label { text: qsTr("주행모드 설정"); color: K.Theme.dimText }
    RadioButtonGroup {
        Layout.fillWidth: true
        selection: section.vm.driveType
        options: [{ id: 0, title: qsTr("기본") }, { id: 1, title: qsTr("타임랩스") }]
        onChosen: (id) => section.vm.driveType = id
    }
    Label { text: qsTr("주차모드 설정"); color: K.Theme.dimText }
    RadioButtonGroup {
        Layout.fillWidth: true
        selection: section.vm.parkingMode
        options: [{ id: 1, title: qsTr("모션인식") }, { id: 2, title: qsTr("타임랩스") },
                  { id: 3, title: qsTr("초절전") }, { id: 0, title: qsTr("사용안함(블랙박스 종료)") }]
        onChosen: (id) => section.vm.parkingMode = id
    }
}
