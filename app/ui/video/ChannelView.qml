import QtQuick
import QtMultimedia
import Korvane.Video

// One camera channel's picture, fitted into the view with its aspect kept.
Item {
    id: view

    // A ChannelPlayer of the open recording.
    required property QtObject channel

    readonly property bool hasGpu: GraphicsInfo.api !== GraphicsInfo.Software
    // Where the picture is drawn inside the view: the frame fitted in, 16:9 until the first
    // frame is known. Labels sit on the picture, not on the bars beside it.
    readonly property rect pictureRect: {
        const size = channel && channel.frameSize.width > 0 ? channel.frameSize : Qt.size(16, 9)
        const scale = Math.min(width / size.width, height / size.height)
        const w = size.width * scale
        const h = size.height * scale
        return Qt.rect((width - w) / 2, (height - h) / 2, w, h)
    }

    VideoOutput {
        id: output
        anchors.fill: parent
        fillMode: VideoOutput.PreserveAspectFit
        visible: view.hasGpu
    }

    ChannelFrameItem {
        anchors.fill: parent
        visible: !view.hasGpu
        channel: view.hasGpu ? null : view.channel
    }

    function attach() {
        if (view.hasGpu && view.channel)
            view.channel.showOn(output.videoSink)
    }

    onChannelChanged: attach()
    onHasGpuChanged: attach()
    Component.onCompleted: attach()
}
