import QtQuick
import QtQuick.Controls

// A button with a text.
Button {
    required property string name
    property string title

    signal activated()

    objectName: name
    text: title
    focusPolicy: Qt.NoFocus
    flat: true
    palette.buttonText: Theme.text
    onClicked: activated()
}
