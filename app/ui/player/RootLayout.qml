import QtQuick
import QtQuick.Layouts
import Korvane.Controls as K
import Korvane.Models
import Korvane.Timeline

// The player screen: the list on the left, the channels with their bars in the middle, the side
// panel on the right. In full screen only the middle stays.
Rectangle {
    id: root

    required property RecordingLibrary library
    required property RecordingOpener opener
    required property NowPlaying nowPlaying
    required property ScreenLayout layout
    required property Downloads downloads
    required property Clips clips
    required property DriveTimeline timeline
    required property MultiTrackPlayer player
    required property PlayerControls controls
    required property GSensorGraph gSensorGraph
    required property MapPosition mapPosition
    required property PlayerActions actions
    required property SaveFolders folders

    signal fullScreenToggled()
    signal settingsRequested()

    color: K.Theme.window

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        HeaderBar {
            Layout.fillWidth: true
            nowPlaying: root.nowPlaying
            layout: root.layout
            onFullScreenToggled: root.fullScreenToggled()
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 0

            LeftPanel {
                Layout.fillHeight: true
                Layout.preferredWidth: 404
                visible: !root.layout.isFullScreen && root.layout.listShown
                library: root.library
                opener: root.opener
            }

            ColumnLayout {
                Layout.fillWidth: true
                Layout.fillHeight: true
                spacing: 0

                RowLayout {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    spacing: 0

                    ColumnLayout {
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        spacing: 0

                        K.TabButton {
                            objectName: "layoutTabs"
                            Layout.leftMargin: K.Theme.gap
                            Layout.topMargin: 4
                            Layout.preferredHeight: 32
                            items: root.layout.layoutTabs
                            selectedIndex: root.layout.layoutTabIndex
                            onSelect: (index) => root.layout.selectLayoutTab(index)
                        }

                        VideoLayout {
                            Layout.fillWidth: true
                            Layout.fillHeight: true
                            nowPlaying: root.nowPlaying
                            layout: root.layout
                            mapPosition: root.mapPosition
                        }
                    }

                    RightPanel {
                        Layout.fillHeight: true
                        Layout.preferredWidth: 280
                        visible: !root.layout.isFullScreen && root.layout.sidePanelShown
                        layout: root.layout
                        nowPlaying: root.nowPlaying
                        mapPosition: root.mapPosition
                        player: root.player
                        gSensorGraph: root.gSensorGraph
                    }
                }

                DriveStrip {
                    objectName: "driveStrip"
                    Layout.fillWidth: true
                    timeline: root.timeline
                }

                SeekControlBar {
                    Layout.fillWidth: true
                    player: root.player
                    nowPlaying: root.nowPlaying
                    clips: root.clips
                    timeline: root.timeline
                }

                PlayButtonBar {
                    id: buttons
                    Layout.fillWidth: true
                    player: root.player
                    nowPlaying: root.nowPlaying
                    layout: root.layout
                    library: root.library
                    opener: root.opener
                    downloads: root.downloads
                    clips: root.clips
                    actions: root.actions
                    folders: root.folders
                    onSettingsRequested: root.settingsRequested()
                }

                AVControlBar {
                    Layout.fillWidth: true
                    controls: root.controls
                    nowPlaying: root.nowPlaying
                    clips: root.clips
                    downloads: root.downloads
                    actions: root.actions
                    folders: root.folders
                }
            }
        }
    }
}
