import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Controls as K
import Korvane.Models

// Asks before the viewer quits.
Dialog {
    id: dialog

    required property AppViewModel viewModel

    signal confirmed()

    objectName: "quitDialog"
    parent: Overlay.overlay
    anchors.centerIn: parent
    modal: true
    closePolicy: Popup.NoAutoClose
    padding: 20

    background: Rectangle {
        color: K.Theme.panel
        border.color: K.Theme.line
        radius: 10
    }

    Overlay.modal: Rectangle {
        color: "#90000000"
    }

    ColumnLayout {
        spacing: 18

        RowLayout {
            spacing: 16
            K.Logo {
                Layout.preferredWidth: 48
                Layout.preferredHeight: 48
            }
            Label {
                text: qsTr("종료 하시겠습니까?")
                font.pixelSize: 15
                color: K.Theme.text
            }
        }

        RowLayout {
            Layout.alignment: Qt.AlignRight
            spacing: 8
            Button {
                objectName: "quitYes"
                text: qsTr("예")
                highlighted: true
                onClicked: {
                    dialog.close()
                    dialog.confirmed()
                }
            }
            Button {
                objectName: "quitNo"
                text: qsTr("아니오")
                onClicked: dialog.close()
            }
        }
    }

    onOpened: viewModel.isAlerting = true
    onClosed: viewModel.isAlerting = false
}
