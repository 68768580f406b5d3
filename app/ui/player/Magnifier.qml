import QtQuick
import Korvane.Video

// A lens over the channel: the same channel `zoom` times larger, the point under the mouse kept
// under the lens's centre.
Item {
    id: lens

    required property QtObject channel
    property point position
    property size videoSize
    property real zoom: 5
    property int size: 200

    objectName: "magnifier"
    x: position.x - size / 2
    y: position.y - size / 2
    width: size
    height: size
    clip: true

    ChannelView {
        channel: lens.channel
        width: lens.videoSize.width * lens.zoom
        height: lens.videoSize.height * lens.zoom
        x: lens.size / 2 - lens.position.x * lens.zoom
        y: lens.size / 2 - lens.position.y * lens.zoom
    }

    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.color: "white"
        border.width: 2
    }
}
