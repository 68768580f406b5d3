import QtQuick
import Korvane.Controls as K
import Korvane.Map
import Korvane.Models

// The video area: every channel, one channel large, or the map, as the layout tab says.
Rectangle {
    id: area

    required property NowPlaying nowPlaying
    required property ScreenLayout layout
    required property MapPosition mapPosition

    readonly property int channelCount: nowPlaying.videoPlayers.length
    readonly property int view: layout.videoView
    readonly property int largeChannel: layout.largeChannel

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
        visible: area.channelCount > 0 && area.view === ScreenLayout.VideoView.AllChannels
        channels: visible ? area.nowPlaying.videoPlayers : []
    }

    Loader {
        anchors.fill: parent
        active: area.largeChannel > 0 && area.largeChannel <= area.channelCount
        sourceComponent: VideoTab {
            layout: area.layout
            channel: area.nowPlaying.videoPlayers[area.largeChannel - 1]
        }
    }

    Loader {
        anchors.fill: parent
        active: area.channelCount > 0 && area.view === ScreenLayout.VideoView.Map
        sourceComponent: MapView {
            objectName: "mapPlace"
            position: area.mapPosition
        }
    }
}
