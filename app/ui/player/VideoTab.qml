import QtQuick
import Korvane.Models
import Korvane.Video

// One channel filling the video area, with the magnifier over it while it is on.
Item {
    id: tab

    required property ScreenLayout layout
    required property QtObject channel

    ChannelView {
        id: picture
        objectName: "singleChannel"
        anchors.fill: parent
        channel: tab.channel
    }

    ChannelLabel {
        x: picture.pictureRect.x + picture.pictureRect.width - width - 6
        y: picture.pictureRect.y + 6
        text: "CH" + (tab.channel.channel + 1)
    }

    MouseArea {
        id: pointer
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.NoButton
    }

    Loader {
        active: tab.layout.showMagnifier && pointer.containsMouse
        sourceComponent: Magnifier {
            channel: tab.channel
            position: Qt.point(pointer.mouseX, pointer.mouseY)
            videoSize: Qt.size(picture.width, picture.height)
        }
    }
}
