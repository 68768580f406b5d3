import QtQuick
import QtMultimedia
import Korvane.Video

// One camera channel's picture, fitted into the view with its aspect kept.
Item {
    id: view

    // A ChannelPlayer of the open recording.
    required property QtObject channel

    readonly property bool hasGpu: GraphicsInfo.api !== GraphicsInfo.Software

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
