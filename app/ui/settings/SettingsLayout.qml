import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Controls as K
import Korvane.Models

// The dashcam's settings in cards, with reset and save below. Every control edits the model;
// nothing reaches the card before "저장". A save that fails says why and keeps every edit.
Rectangle {
    id: layout

    required property SettingsViewModel vm

    signal saved()
    signal cancelled()

    // Escape closes an alert first, then the window.
    Shortcut {
        sequence: "Escape"
        onActivated: {
            if (alert.visible)
                alert.visible = false
            else
                layout.cancelled()
        }
    }

    color: K.Theme.window

    ScrollView {
        id: scroll
        anchors { left: parent.left; right: parent.right; top: parent.top; bottom: buttons.top }
        contentWidth: availableWidth
        clip: true

        RowLayout {
            width: scroll.availableWidth - 32
            x: 16
            y: 12
            spacing: 10

            ColumnLayout {
                Layout.alignment: Qt.AlignTop
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                spacing: 10
                DriveModeSection { vm: layout.vm }
                ADASSection { vm: layout.vm }
            }
            ColumnLayout {
                Layout.alignment: Qt.AlignTop
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                spacing: 10
                RecordSettingsSection { vm: layout.vm }
                StorageSection { vm: layout.vm }
            }
            ColumnLayout {
                Layout.alignment: Qt.AlignTop
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                spacing: 10
                GeneralSection { vm: layout.vm }
                WifiSection { vm: layout.vm }
                VersionSection { vm: layout.vm }
            }
        }
    }

    Rectangle {
        id: buttons
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
        height: 56
        color: K.Theme.panel

        Label {
            objectName: "savedNotYetTaken"
            anchors {
                left: parent.left; right: actions.left; verticalCenter: parent.verticalCenter
                leftMargin: 16; rightMargin: 16
            }
            visible: layout.vm.savedNotYetTaken
            text: qsTr("카드에 저장해 둔 설정을 보여 줍니다. 블랙박스는 다음에 켜질 때 이 설정을 "
                       + "적용합니다.")
            color: K.Theme.notice
            wrapMode: Text.WordWrap
            maximumLineCount: 2
            elide: Text.ElideRight
        }

        RowLayout {
            id: actions
            anchors { right: parent.right; verticalCenter: parent.verticalCenter; rightMargin: 16 }
            spacing: 10
            Button {
                objectName: "resetSettings"
                text: qsTr("설정 초기화")
                onClicked: layout.vm.resetSettings()
            }
            Button {
                objectName: "cancelSettings"
                text: qsTr("취소")
                onClicked: layout.cancelled()
            }
            Button {
                objectName: "saveSettings"
                text: qsTr("저장")
                highlighted: true
                onClicked: {
                    if (layout.vm.saveSettings())
                        layout.saved()
                    else
                        alert.visible = true
                }
            }
        }
    }

    K.OverlayMessage {
        id: alert
        objectName: "settingsAlert"
        anchors.fill: parent
        visible: false
        title: qsTr("설정을 저장하지 못했습니다.")
        message: layout.vm.saveProblem
        buttonText: qsTr("확인")
        onButtonTap: visible = false
    }

    Component.onCompleted: vm.loadSettings()
}
