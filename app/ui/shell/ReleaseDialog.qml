import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Controls as K
import Korvane.Models

// Tells the user that a newer release is out and offers its download page.
Dialog {
    id: dialog

    required property VersionManager versionManager

    signal download()

    objectName: "releaseDialog"
    parent: Overlay.overlay
    anchors.centerIn: parent
    modal: true
    closePolicy: Popup.NoAutoClose
    padding: 20
    visible: versionManager.updateMessage !== ""

    background: Rectangle {
        color: K.Theme.panel
        border.color: K.Theme.line
        radius: 10
    }

    Overlay.modal: Rectangle {
        color: "#90000000"
    }

    ColumnLayout {
        spacing: 14

        RowLayout {
            spacing: 16
            K.Logo {
                Layout.preferredWidth: 48
                Layout.preferredHeight: 48
                Layout.alignment: Qt.AlignTop
            }
            ColumnLayout {
                spacing: 8
                Label {
                    text: qsTr("앱이 업데이트 되었습니다.")
                    font.pixelSize: 15
                    font.bold: true
                    color: K.Theme.text
                }
                Label {
                    objectName: "releaseMessage"
                    Layout.preferredWidth: 300
                    text: dialog.versionManager.updateMessage
                    wrapMode: Text.Wrap
                    color: K.Theme.text
                }
            }
        }

        RowLayout {
            Layout.alignment: Qt.AlignRight
            spacing: 8
            Button {
                objectName: "releaseYes"
                text: qsTr("예")
                highlighted: true
                onClicked: dialog.download()
            }
            Button {
                objectName: "releaseNo"
                text: qsTr("아니오")
                onClicked: dialog.versionManager.answered()
            }
        }
    }
}
