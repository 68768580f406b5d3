import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Controls as K
import Korvane.Models

// Where playback is: the time, the seek bar with the shocks and the evidence clip's span marked,
// the length, and the speed at this moment (a double click saves the GPS log to the card). In a
// drive of several recordings the bar, the time and the length are the drive's, and the marks of
// the open recording lie on its stretch of it.
Rectangle {
    id: bar

    required property MultiTrackPlayer player
    required property NowPlaying nowPlaying
    required property Clips clips
    required property DriveTimeline timeline
    readonly property bool onDrive: timeline.drivePlays
    // The point of the bar of a point of the open recording (0 to 1).
    function barPoint(fraction) {
        return onDrive ? timeline.openStart + fraction * timeline.openShare : fraction
    }

    implicitHeight: K.Theme.barHeight
    color: K.Theme.panel

    RowLayout {
        anchors { fill: parent; leftMargin: 10; rightMargin: 10 }
        spacing: 10

        Label {
            objectName: "currentTime"
            // While the bar is dragged: the time it would seek to.
            text: seek.pressed ? (bar.onDrive ? bar.timeline.driveTimeTextAt(seek.value)
                                              : bar.nowPlaying.timeTextAt(seek.value))
                               : (bar.onDrive ? bar.timeline.driveTimeText
                                              : bar.nowPlaying.currentTimeText)
            color: K.Theme.text
            font.family: "monospace"
        }
        Slider {
            id: seek
            objectName: "seekBar"
            Layout.fillWidth: true
            // x of a point of the recording (0 to 1) on the groove
            function grooveX(fraction) { return leftPadding + fraction * availableWidth }
            focusPolicy: Qt.NoFocus
            enabled: bar.nowPlaying.videoPlayers.length > 0
            from: 0
            to: 1
            value: bar.onDrive ? bar.timeline.driveProgress : bar.player.progress
            // The pictures follow the handle while it is dragged; on a drive, where it is let go.
            onMoved: {
                if (pressed && !bar.onDrive)
                    bar.player.scrubTo(value)
            }
            onPressedChanged: {
                if (pressed) {
                    bar.player.isScrubbing = true
                } else {
                    bar.player.isScrubbing = false
                    if (bar.onDrive)
                        bar.timeline.seekDrive(value)
                    else
                        bar.player.seek(value)
                }
            }
        
            // The evidence clip's span, under the handle.
            Rectangle {
                objectName: "clipSpan"
                // A mark of the drive in another of its recordings lies off the open one's time.
                readonly property double from: bar.clips.hasClipFrom ? bar.clips.clipFrom : 0
                readonly property double to: bar.clips.hasClipTo ? bar.clips.clipTo : bar.player.duration
                visible: bar.player.duration > 0 && (bar.clips.hasClipFrom || bar.clips.hasClipTo)
                z: -0.5
                x: seek.grooveX(bar.barPoint(from / Math.max(bar.player.duration, 1e-9)))
                width: Math.max(2, seek.grooveX(bar.barPoint(to / Math.max(bar.player.duration, 1e-9))) - x)
                y: seek.topPadding + seek.availableHeight / 2 - height / 2
                height: 10
                radius: 2
                color: K.Theme.clip
                opacity: 0.75
            }
            // The shocks the G-sensor felt: a click plays from a little before one.
            Repeater {
                model: bar.nowPlaying.shockMarks
                delegate: Item {
                    id: shock
                    required property double modelData
                    required property int index
                    objectName: "shockMark" + index
                    width: 14
                    height: seek.availableHeight + 8
                    x: seek.grooveX(bar.barPoint(modelData)) - width / 2
                    y: seek.topPadding - 4
                    z: 1
                    Rectangle {
                        anchors.horizontalCenter: parent.horizontalCenter
                        width: 3
                        height: parent.height
                        radius: 1
                        color: K.Theme.shock
                    }
                    MouseArea {
                        id: shockMouse
                        anchors.fill: parent
                        hoverEnabled: true
                        cursorShape: Qt.PointingHandCursor
                        onClicked: bar.nowPlaying.seekToShock(shock.index)
                    }
                    ToolTip.visible: shockMouse.containsMouse
                    ToolTip.text: qsTr("충격 감지: 5초 전부터 재생")
                    ToolTip.delay: 400
                }
            }
        }
                Label {
            objectName: "duration"
            text: bar.onDrive ? bar.timeline.driveLengthText : bar.nowPlaying.durationText
            color: K.Theme.dimText
            font.family: "monospace"
        }
        Label {
            objectName: "speed"
            Layout.preferredWidth: 80
            horizontalAlignment: Text.AlignRight
            text: bar.nowPlaying.speedText
            color: K.Theme.text
            font.bold: true
            ToolTip.visible: speedMouse.containsMouse
            ToolTip.text: qsTr("두 번 누르면 GPS 기록(location.txt)을 SD 카드에 저장합니다")
            ToolTip.delay: 600
            MouseArea {
                id: speedMouse
                anchors.fill: parent
                hoverEnabled: true
                onDoubleClicked: bar.nowPlaying.exportLocation()
            }
        }
    }
}
