import QtQuick

// An empty place in the layout.
Rectangle {
    property string text

    color: Theme.video
    Text {
        anchors.centerIn: parent
        text: parent.text
        color: Theme.dimText
        font.pixelSize: 13
    }
}
