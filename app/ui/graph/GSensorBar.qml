import QtQuick
import QtQuick.Layouts
import Korvane.Controls as K
import Korvane.Models
import Korvane.Graph

// The G-sensor's three axes, growing with playback across the recording's length. A double click
// saves the G-sensor log to the card.
Rectangle {
    id: bar

    required property MultiTrackPlayer player
    required property GSensorGraph graph
    required property NowPlaying nowPlaying

    objectName: "gSensorBar"
    color: K.Theme.raised

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 8
        spacing: 10

        Row {
            Layout.alignment: Qt.AlignHCenter
            spacing: 14
            Repeater {
                model: [{ name: "G-Sensor X", color: "#4a8cff" },
                        { name: "G-Sensor Y", color: "#3ccf6e" },
                        { name: "G-Sensor Z", color: "#ff5a5a" }]
                Row {
                    id: entry
                    required property var modelData
                    spacing: 6
                    Rectangle {
                        anchors.verticalCenter: parent.verticalCenter
                        width: 14
                        height: 3
                        radius: 1.5
                        color: entry.modelData.color
                    }
                    Text {
                        text: entry.modelData.name
                        color: K.Theme.text
                        font.pixelSize: 11
                    }
                }
            }
        }

        Item {
            id: plot
            objectName: "gSensorPlot"
            Layout.fillWidth: true
            Layout.fillHeight: true

            // The middle line: no acceleration.
            Rectangle {
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width
                height: 1
                color: K.Theme.line
            }

            // The part of the recording played so far.
            Item {
                objectName: "gSensorShown"
                height: parent.height
                width: Math.max(2, bar.nowPlaying.gSensorShownShare * plot.width)
                clip: true

                GLineGraph {
                    width: plot.width
                    height: plot.height
                    buffer: bar.graph.bufferX
                    color: "#4a8cff"
                    duration: bar.player.duration
                }
                GLineGraph {
                    width: plot.width
                    height: plot.height
                    buffer: bar.graph.bufferY
                    color: "#3ccf6e"
                    duration: bar.player.duration
                }
                GLineGraph {
                    width: plot.width
                    height: plot.height
                    buffer: bar.graph.bufferZ
                    color: "#ff5a5a"
                    duration: bar.player.duration
                }
            }
        }
    }

    MouseArea {
        anchors.fill: parent
        onDoubleClicked: bar.nowPlaying.exportGSensor()
    }

    Component.onCompleted: graph.rebuild()
    Component.onDestruction: graph.clearAll()
}
