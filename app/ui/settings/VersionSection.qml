import QtQuick
import Korvane.Models

// This viewer's version and the dashcam's model, firmware and safety database.
GroupCard {
    id: section

    required property SettingsViewModel vm

    title: qsTr("버전 정보")

    InfoRow { title: section.vm.viewerName; value: section.vm.viewerVersion }
    InfoRow { title: qsTr("모델명"); value: section.vm.modelName }
    InfoRow { title: qsTr("펌웨어"); value: section.vm.fwVersion }
    InfoRow { title: qsTr("안전운전 DB 버전"); value: section.vm.safeDBversion }
}
