import QtQuick

// The channel's name over its picture.
Rectangle {
    property alias text: label.text

    width: label.implicitWidth + 10
    height: label.implicitHeight + 4
    radius: 3
    color: "#90000000"
    Text {
        id: label
        anchors.centerIn: parent
        color: "white"
        font.pixelSize: 11
    }
}
