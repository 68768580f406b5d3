import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Controls as K
import Korvane.Files
import Korvane.Models

// Files, lens, snapshot, route and download on the left; playback, frame steps, speed and the
// recordings before and after on the right.
Rectangle {
    id: bar

    required property MultiTrackPlayer player
    required property NowPlaying nowPlaying
    required property ScreenLayout layout
    required property RecordingLibrary library
    required property RecordingOpener opener
    required property Downloads downloads
    required property Clips clips
    required property PlayerActions actions
    required property SaveFolders folders
    readonly property bool hasVideo: nowPlaying.videoPlayers.length > 0

    implicitHeight: 48
    color: K.Theme.panel

    // The window's owner pauses playback and brings the settings window up.
    signal settingsRequested()

    RowLayout {
        anchors { fill: parent; leftMargin: 6; rightMargin: 6 }
        spacing: 2

        K.ImageButton {
            name: "open"
            system: "eject.fill"
            tip: bar.actions.openFiles.tip
            onActivated: bar.actions.openFiles.trigger()
        }
        K.ImageButton {
            name: "magnify"
            enabled: bar.hasVideo
            system: "magnifyingglass"
            dimmed: !bar.layout.canMagnify
            tip: bar.layout.canMagnify ? qsTr("화면 확대")
                                       : qsTr("화면 확대는 채널 하나를 크게 볼 때 쓸 수 있습니다. "
                                              + "위의 탭에서 채널을 고르세요.")
            checkable: false
            highlighted: bar.layout.showMagnifier
            onActivated: bar.layout.toggleMagnifier()
        }
        K.ImageButton {
            name: "snapshot"
            enabled: bar.hasVideo
            system: "photo"
            // The recorded picture, as evidence: the brightness and mirroring shown are left out.
            tip: qsTr("모든 채널의 현재 장면을 녹화된 그대로 사진으로 저장 (밝기·반전 제외)")
            onActivated: {
                if (bar.hasVideo)
                    snapshotDialog.open()
            }
        }
        K.ImageButton {
            name: "gpx"
            enabled: bar.hasVideo
            system: "point.route"
            tip: qsTr("주행 경로를 GPX 파일로 저장")
            onActivated: gpxDialog.open()
        }
        K.ImageButton {
            name: "download"
            system: "square.and.arrow.down"
            tip: qsTr("선택한 영상 다운로드")
            onActivated: {
                if (bar.downloads.readyToDownload())
                    downloadDialog.open()
            }
        }
        K.ImageButton {
            name: "channel"
            label: bar.downloads.channelChoiceLabel
            tip: qsTr("다운로드할 채널")
            onActivated: bar.downloads.nextChannelChoice()
        }
        K.ImageButton {
            name: "settings"
            system: "gearshape.fill"
            tip: qsTr("블랙박스 설정")
            onActivated: bar.settingsRequested()
        }

        Item { Layout.fillWidth: true }

        K.ImageButton {
            name: "stop"
            enabled: bar.hasVideo
            system: "stop.fill"
            tip: qsTr("정지")
            onActivated: bar.player.stop()
        }
        K.ImageButton {
            name: bar.player.isPlaying ? "pause" : "play"
            enabled: bar.actions.playPause.enabled
            system: bar.player.isPlaying ? "pause.fill" : "play.fill"
            tip: bar.actions.playPause.tip
            onActivated: bar.actions.playPause.trigger()
        }
        K.ImageButton {
            name: "stepBackward"
            enabled: bar.actions.stepBackward.enabled
            system: "frame.backward"
            tip: bar.actions.stepBackward.tip
            autoRepeat: bar.actions.stepBackward.autoRepeat
            onActivated: bar.actions.stepBackward.trigger()
        }
        K.ImageButton {
            name: "stepForward"
            enabled: bar.actions.stepForward.enabled
            system: "frame.forward"
            tip: bar.actions.stepForward.tip
            autoRepeat: bar.actions.stepForward.autoRepeat
            onActivated: bar.actions.stepForward.trigger()
        }
        K.ImageButton {
            name: "rate"
            enabled: bar.hasVideo
            label: bar.player.rateText
            tip: qsTr("재생 속도 (%1 %2, %3 %4)")
                .arg(bar.actions.slower.keyText).arg(bar.actions.slower.text)
                .arg(bar.actions.faster.keyText).arg(bar.actions.faster.text)
            onActivated: bar.player.cycleRate()
        }
        K.ImageButton {
            name: "previous"
            system: "backward.end.fill"
            tip: qsTr("이전 영상")
            onActivated: bar.opener.openPrevious()
        }
        K.ImageButton {
            name: "backward"
            enabled: bar.actions.skipBackward.enabled
            system: "backward.fill"
            tip: bar.actions.skipBackward.tip
            onActivated: bar.actions.skipBackward.trigger()
        }
        K.ImageButton {
            name: "forward"
            enabled: bar.actions.skipForward.enabled
            system: "forward.fill"
            tip: bar.actions.skipForward.tip
            onActivated: bar.actions.skipForward.trigger()
        }
        K.ImageButton {
            name: "next"
            system: "forward.end.fill"
            tip: qsTr("다음 영상")
            onActivated: bar.opener.openNext()
        }
    }

    SaveFolderDialog {
        id: snapshotDialog
        objectName: "snapshotDialog"
        folders: bar.folders
        kind: SaveFolders.Snapshots
        onChosen: (folder) => bar.nowPlaying.saveSnapshots(folder)
    }

    SaveFolderDialog {
        id: gpxDialog
        objectName: "gpxDialog"
        folders: bar.folders
        kind: SaveFolders.Routes
        onChosen: (folder) => bar.clips.exportGpx(folder)
    }

    SaveFolderDialog {
        id: downloadDialog
        objectName: "downloadDialog"
        folders: bar.folders
        kind: SaveFolders.Recordings
        onChosen: (folder) => bar.downloads.startDownload(folder)
    }
}
