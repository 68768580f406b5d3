import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Controls as K
import Korvane.Models

// How the card is shared between the kinds of recording, by the chosen priority.
GroupCard {
    id: section

    required property SettingsViewModel vm

    // The rows glide to the priority's split; a priority outside the table leaves them be.
    property real normalPercent: 0
    property real eventPercent: 0
    property real parkPercent: 0
    property real manualPercent: 0

    function showSplit() {
        const split = vm.storagePercents
        if (split.length !== 4)
            return
        normalPercent = split[0]
        eventPercent = split[1]
        parkPercent = split[2]
        manualPercent = split[3]
    }

    title: qsTr("저장 공간 (%)")

    Behavior on normalPercent { NumberAnimation { duration: 300; easing.type: Easing.InOutQuad } }
    Behavior on eventPercent { NumberAnimation { duration: 300; easing.type: Easing.InOutQuad } }
    Behavior on parkPercent { NumberAnimation { duration: 300; easing.type: Easing.InOutQuad } }
    Behavior on manualPercent { NumberAnimation { duration: 300; easing.type: Easing.InOutQuad } }

    Label { text: qsTr("보관 2GB"); color: K.Theme.dimText }
    ProgressRow {
        title: qsTr("주행 녹화") + " (%)"
        value: section.normalPercent
        color: "#4be08a"
    }
    ProgressRow {
        title: qsTr("이벤트 녹화") + " (%)"
        value: section.eventPercent
        color: "#ff6b6b"
    }
    ProgressRow {
        title: qsTr("주차 녹화") + " (%)"
        value: section.parkPercent
        color: "#ffd54f"
    }
    ProgressRow {
        title: qsTr("수동 녹화") + " (%)"
        value: section.manualPercent
        color: "#6aa6ff"
    }
    RadioButtonGroup {
        Layout.fillWidth: true
        selection: section.vm.storagePriority
        options: [{ id: 0, title: qsTr("주행우선") }, { id: 1, title: qsTr("주행우선2") },
                  { id: 2, title: qsTr("이벤트우선") }, { id: 3, title: qsTr("주차우선") }]
        onChosen: (id) => section.vm.storagePriority = id
    }

    Connections {
        target: section.vm
        function onChanged() { section.showSplit() }
    }
    Component.onCompleted: showSplit()
}
