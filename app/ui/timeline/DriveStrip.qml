import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Controls as K
import Korvane.Models

// One day of drives: a block for each, the pauses between them empty, event and manual
// recordings and the open recording's shocks marked in their colours, and a line at the moment
// played. A click, or a drag let go, plays from the moment under the pointer.
Rectangle {
    id: strip

    required property DriveTimeline timeline

    implicitHeight: 30
    color: K.Theme.panel
    visible: timeline.dayText !== ""

    RowLayout {
        anchors { fill: parent; leftMargin: 10; rightMargin: 10 }
        spacing: 6

        K.ImageButton {
            name: "previousDay"
            Layout.preferredWidth: 24
            Layout.preferredHeight: 24
            system: "chevron.left"
            tip: qsTr("이전 날")
            enabled: strip.timeline.hasPreviousDay
            onActivated: strip.timeline.showPreviousDay()
        }
        Label {
            objectName: "day"
            text: strip.timeline.dayText
            color: K.Theme.text
            font.pixelSize: 12
        }
        K.ImageButton {
            name: "nextDay"
            Layout.preferredWidth: 24
            Layout.preferredHeight: 24
            system: "chevron.right"
            tip: qsTr("다음 날")
            enabled: strip.timeline.hasNextDay
            onActivated: strip.timeline.showNextDay()
        }
        Label {
            text: strip.timeline.startText
            color: K.Theme.dimText
            font.pixelSize: 11
            font.family: "monospace"
        }

        Item {
            id: track
            objectName: "driveTrack"
            Layout.fillWidth: true
            Layout.fillHeight: true
            // Where the pointer is while it drags: the line follows it until it is let go.
            property double dragged: -1

            Rectangle {
                anchors { left: parent.left; right: parent.right; verticalCenter: parent.verticalCenter }
                height: 2
                color: K.Theme.line
            }
            Repeater {
                model: strip.timeline.blocks
                Rectangle {
                    required property var modelData
                    objectName: "driveBlock"
                    x: modelData.start * track.width
                    width: Math.max(2, modelData.width * track.width)
                    anchors.verticalCenter: parent.verticalCenter
                    height: 12
                    radius: 2
                    color: modelData.parking ? K.Theme.typeColors.green : K.Theme.accent
                    opacity: 0.8
                }
            }
            Repeater {
                model: strip.timeline.marks
                Rectangle {
                    required property var modelData
                    objectName: "driveMark"
                    x: modelData.start * track.width
                    width: Math.max(2, modelData.width * track.width)
                    y: 2
                    height: 6
                    color: modelData.color === "orange" ? K.Theme.shock
                                                         : K.Theme.typeColors[modelData.color]
                }
            }
            Rectangle {
                objectName: "playedMoment"
                readonly property double point: track.dragged >= 0 ? track.dragged
                                                                     : strip.timeline.position
                visible: point >= 0
                x: point * track.width - width / 2
                width: 2
                height: parent.height
                color: K.Theme.text
            }
            MouseArea {
                anchors.fill: parent
                cursorShape: Qt.PointingHandCursor
                function pointAt(x) { return Math.max(0, Math.min(1, x / width)) }
                onPressed: (mouse) => track.dragged = pointAt(mouse.x)
                onPositionChanged: (mouse) => track.dragged = pointAt(mouse.x)
                onReleased: (mouse) => {
                    track.dragged = -1
                    strip.timeline.playAt(pointAt(mouse.x))
                }
                onCanceled: track.dragged = -1
            }
        }

        Label {
            text: strip.timeline.endText
            color: K.Theme.dimText
            font.pixelSize: 11
            font.family: "monospace"
        }
        Label {
            objectName: "moment"
            Layout.preferredWidth: 64
            text: strip.timeline.momentText
            color: K.Theme.text
            font.pixelSize: 12
            font.family: "monospace"
        }
    }
}
