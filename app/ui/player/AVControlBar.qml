import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Controls as K
import Korvane.Files
import Korvane.Models

// Sound, brightness, the evidence clip (its marks, caption and saving) and each channel's mirroring.
Rectangle {
    id: bar

    required property PlayerControls controls
    required property NowPlaying nowPlaying
    required property Clips clips
    required property Downloads downloads
    required property PlayerActions actions
    required property SaveFolders folders
    readonly property bool hasVideo: nowPlaying.videoPlayers.length > 0

    implicitHeight: K.Theme.barHeight
    color: K.Theme.panel

    RowLayout {
        anchors { fill: parent; leftMargin: 6; rightMargin: 6 }
        spacing: 3

        K.ImageButton {
            name: "sound"
            system: bar.controls.soundIcon
            tip: qsTr("소리 켜기/끄기")
            onActivated: bar.controls.toggleSound()
        }
        Slider {
            objectName: "volume"
            // Narrower on a narrow window, so that every button stays in the bar.
            Layout.fillWidth: true
            Layout.minimumWidth: 40
            Layout.preferredWidth: 60
            Layout.maximumWidth: 100
            focusPolicy: Qt.NoFocus
            from: 0
            to: 1
            value: bar.controls.volume
            onMoved: bar.controls.setVolume(value)
        }

        Item { Layout.preferredWidth: 8 }

        K.ImageButton {
            name: "brightnessReset"
            system: "circle.lefthalf.filled"
            tip: qsTr("밝기 초기화")
            onActivated: bar.controls.resetBrightness()
        }
        Slider {
            objectName: "brightness"
            // Narrower on a narrow window, so that every button stays in the bar.
            Layout.fillWidth: true
            Layout.minimumWidth: 40
            Layout.preferredWidth: 60
            Layout.maximumWidth: 100
            focusPolicy: Qt.NoFocus
            from: 0
            to: 1
            value: bar.controls.brightness
            onMoved: bar.controls.setBrightness(value)
        }

        Item { Layout.fillWidth: true }

        K.ImageButton {
            name: "clipStart"
            enabled: bar.actions.markClipStart.enabled
            system: "mark.in"
            tip: bar.actions.markClipStart.tip
            onActivated: bar.actions.markClipStart.trigger()
        }
        K.ImageButton {
            name: "clipEnd"
            enabled: bar.actions.markClipEnd.enabled
            system: "mark.out"
            tip: bar.actions.markClipEnd.tip
            onActivated: bar.actions.markClipEnd.trigger()
        }
        Label {
            objectName: "clipSpanTimes"
            visible: text !== ""
            // On a narrow window the times give way before any button does.
            Layout.fillWidth: true
            Layout.minimumWidth: 40
            Layout.preferredWidth: implicitWidth
            Layout.maximumWidth: implicitWidth
            elide: Text.ElideRight
            text: bar.clips.clipSpanText
            // Cut short, the whole span shows under the pointer.
            HoverHandler { id: spanHover }
            ToolTip.visible: truncated && spanHover.hovered
            ToolTip.text: text
            color: K.Theme.clip
            font.family: "monospace"
            font.pixelSize: 12
        }
        K.ImageButton {
            name: "clipCaption"
            enabled: bar.hasVideo
            system: "captions"
            tip: qsTr("증거 영상에 날짜, 시각, 속도, 위치 자막 넣기")
            highlighted: bar.clips.clipCaption
            onActivated: bar.clips.clipCaption = !bar.clips.clipCaption
        }
        K.ImageButton {
            name: "clipLayout"
            enabled: bar.hasVideo
            system: "clip." + bar.clips.clipLayout
            tip: bar.clips.clipLayoutText
            highlighted: bar.clips.clipLayout !== "tracks"
            onActivated: bar.clips.nextClipLayout()
        }
        K.ImageButton {
            name: "clipReport"
            enabled: bar.hasVideo
            system: "doc.text"
            tip: qsTr("증거 영상 옆에 보고서(구간, 원본 파일과 SHA-256, 카메라별 화면, 경로, 속도, G-센서) 저장")
            highlighted: bar.clips.clipReport
            onActivated: bar.clips.clipReport = !bar.clips.clipReport
        }
        K.ImageButton {
            name: "clipExport"
            enabled: bar.clips.canExportClip && !bar.downloads.isDownloading
            system: "film"
            tip: qsTr("표시한 구간을 증거 영상으로 저장")
            onActivated: clipDialog.open()
        }

        Item { Layout.preferredWidth: 8 }

        Repeater {
            model: 5
            K.ImageButton {
                id: mirror
                required property int index
                name: "mirror" + (mirror.index + 1)
                system: bar.controls.mirrorIcons[mirror.index]
                tip: qsTr("CH%1 좌우/상하 반전").arg(mirror.index + 1)
                enabled: mirror.index < bar.controls.channelCount
                onActivated: bar.controls.cycleMirror(mirror.index + 1)

                // Which channel the button turns.
                Text {
                    objectName: "mirrorNumber"
                    anchors { right: parent.right; bottom: parent.bottom; margins: 2 }
                    text: mirror.index + 1
                    font.pixelSize: 10
                    font.bold: true
                    color: K.Theme.text
                }
            }
        }
    }

    SaveFolderDialog {
        id: clipDialog
        objectName: "clipDialog"
        folders: bar.folders
        kind: SaveFolders.Clips
        onChosen: (folder) => bar.clips.exportClip(folder)
    }
}
