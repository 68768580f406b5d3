import QtQuick
import QtQuick.Layouts
import Korvane.Controls as K
import Korvane.Graph
import Korvane.Map
import Korvane.Models
import Korvane.Video

// One chosen channel, or the map, beside the video area, with the G-sensor place under it.
Rectangle {
    id: panel

    required property ScreenLayout layout
    required property NowPlaying nowPlaying
    required property MapPosition mapPosition
    required property MultiTrackPlayer player
    required property GSensorGraph gSensorGraph

    readonly property int channelCount: nowPlaying.videoPlayers.length

    color: K.Theme.panel
    clip: true

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 4
        spacing: 4

        K.TabButton {
            objectName: "sideTabs"
            Layout.preferredHeight: 32
            Layout.fillWidth: true
            fitWidth: width
            items: panel.layout.sideTabs
            selectedIndex: panel.layout.sideTabIndex
            onSelect: (index) => panel.layout.selectSideTab(index)
        }

        Item {
            Layout.fillWidth: true
            Layout.preferredHeight: width * 9 / 16

            K.PlaceHolder {
                anchors.fill: parent
                visible: panel.layout.sideView === ScreenLayout.SideView.Nothing
                text: panel.channelCount > 0 ? qsTr("위에서 채널이나 지도를 고르세요.") : ""
            }
            Loader {
                anchors.fill: parent
                active: panel.layout.sideView === ScreenLayout.SideView.Map
                sourceComponent: MapView {
                    objectName: "sideMapPlace"
                    position: panel.mapPosition
                }
            }
            Loader {
                anchors.fill: parent
                active: panel.layout.sideView === ScreenLayout.SideView.Channel
                sourceComponent: ChannelView {
                    objectName: "sideChannel"
                    channel: panel.nowPlaying.videoPlayers[panel.layout.sideChannel]
                }
            }
        }

        GSensorBar {
            Layout.fillWidth: true
            Layout.fillHeight: true
            player: panel.player
            graph: panel.gSensorGraph
            nowPlaying: panel.nowPlaying
        }
    }
}
