import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// A question over the dimmed window: the logo, the question, an optional message, "예" and
// "아니오". Enter answers "예", the default; Escape answers "아니오", the safe answer.
// `name` names its parts: "<name>Yes", "<name>No", "<name>Message".
Dialog {
    id: dialog

    required property string name
    property string question
    property string message

    signal yes()
    signal no()

    parent: Overlay.overlay
    anchors.centerIn: parent
    modal: true
    closePolicy: Popup.NoAutoClose
    padding: 20
    focus: true

    background: Rectangle {
        color: Theme.panel
        border.color: Theme.line
        radius: 10
    }

    Overlay.modal: Rectangle {
        color: "#90000000"
    }

    ColumnLayout {
        spacing: 18
        focus: true
        Keys.onReturnPressed: dialog.yes()
        Keys.onEnterPressed: dialog.yes()
        Keys.onEscapePressed: dialog.no()

        RowLayout {
            spacing: 16
            Logo {
                Layout.preferredWidth: 48
                Layout.preferredHeight: 48
                Layout.alignment: Qt.AlignTop
            }
            ColumnLayout {
                spacing: 8
                Label {
                    text: dialog.question
                    font.pixelSize: 15
                    color: Theme.text
                }
                Label {
                    objectName: dialog.name + "Message"
                    Layout.preferredWidth: 300
                    visible: dialog.message !== ""
                    text: dialog.message
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    color: Theme.text
                }
            }
        }

        RowLayout {
            Layout.alignment: Qt.AlignRight
            spacing: 8
            Button {
                objectName: dialog.name + "Yes"
                text: qsTr("예")
                highlighted: true
                onClicked: dialog.yes()
            }
            Button {
                objectName: dialog.name + "No"
                text: qsTr("아니오")
                onClicked: dialog.no()
            }
        }
    }
}
