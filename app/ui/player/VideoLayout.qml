import QtQuick
import Korvane.Controls as K
import Korvane.Map
import Korvane.Models

// The video area: every channel, one channel large, or the map, as the layout tab says.
Rectangle {
    id: area

    required property AppViewModel viewModel

    readonly property int channelCount: viewModel.nowPlaying.videoPlayers.length
    readonly property int view: viewModel.layout.videoView
    readonly property int largeChannel: viewModel.layout.largeChannel

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
        visible: area.channelCount > 0 && area.view === ScreenLayout.AllChannels
        channels: visible ? area.viewModel.nowPlaying.videoPlayers : []
    }

    Loader {
        anchors.fill: parent
        active: area.largeChannel > 0 && area.largeChannel <= area.channelCount
        sourceComponent: VideoTab {
            viewModel: area.viewModel
            channel: area.viewModel.nowPlaying.videoPlayers[area.largeChannel - 1]
        }
    }

    Loader {
        anchors.fill: parent
        active: area.channelCount > 0 && area.view === ScreenLayout.Map
        sourceComponent: MapView {
            objectName: "mapPlace"
            position: area.viewModel.mapPosition
        }
    }
}
