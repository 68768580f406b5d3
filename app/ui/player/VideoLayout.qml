import QtQuick
import Korvane.Controls as K
import Korvane.Map
import Korvane.Models

// The video area: every channel, one channel large, or the map, as the layout tab says.
Rectangle {
    id: area

    required property AppViewModel viewModel

    readonly property int channelCount: viewModel.nowPlaying.videoPlayers.length
    readonly property int mode: viewModel.layout.videoMode

    objectName: "videoArea"
    color: K.Theme.video
    clip: true

    K.PlaceHolder {
        anchors.fill: parent
        visible: area.channelCount === 0
        text: qsTr("목록에서 녹화 영상을 선택하세요.")
    }

    MultiVideo {
        anchors.fill: parent
        visible: area.channelCount > 0 && area.mode === 0
        channels: visible ? area.viewModel.nowPlaying.videoPlayers : []
    }

    Loader {
        anchors.fill: parent
        active: area.mode > 0 && area.mode <= area.channelCount
        sourceComponent: VideoTab {
            viewModel: area.viewModel
            channel: area.viewModel.nowPlaying.videoPlayers[area.mode - 1]
        }
    }

    Loader {
        anchors.fill: parent
        active: area.channelCount > 0 && area.mode < 0
        sourceComponent: MapView {
            objectName: "mapPlace"
            position: area.viewModel.mapPosition
        }
    }
}
