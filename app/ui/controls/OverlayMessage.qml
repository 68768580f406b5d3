import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// A message over the window: a title, a message and, with `buttonText`, a button.
Rectangle {
    id: overlay

    property string title
    property string message
    property string buttonText
    property string secondButtonText

    signal buttonTap()
    signal secondButtonTap()

    color: "#b0000000"

    // The window under the message takes no clicks or wheel turns.
    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.AllButtons
        onWheel: (wheel) => wheel.accepted = true
    }

    Rectangle {
        anchors.centerIn: parent
        width: Math.min(parent.width - 40, 460)
        height: content.implicitHeight + 48
        radius: 10
        color: Theme.panel
        border.color: Theme.line

        ColumnLayout {
            id: content
            anchors { left: parent.left; right: parent.right; top: parent.top; margins: 24 }
            spacing: 14

            Label {
                objectName: "overlayTitle"
                Layout.fillWidth: true
                visible: overlay.title !== ""
                text: overlay.title
                font.pixelSize: 17
                font.bold: true
                color: Theme.text
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
            }
            Label {
                objectName: "overlayMessage"
                Layout.fillWidth: true
                visible: overlay.message !== ""
                text: overlay.message
                // Messages name files of the card: their names are shown as they are.
                textFormat: Text.PlainText
                font.pixelSize: 14
                color: Theme.text
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
            }
            RowLayout {
                Layout.alignment: Qt.AlignHCenter
                visible: overlay.buttonText !== ""
                spacing: 10
                Button {
                    objectName: "overlayButton"
                    text: overlay.buttonText
                    highlighted: true
                    onClicked: overlay.buttonTap()
                }
                Button {
                    objectName: "overlaySecondButton"
                    visible: overlay.secondButtonText !== ""
                    text: overlay.secondButtonText
                    onClicked: overlay.secondButtonTap()
                }
            }
        }
    }
}
