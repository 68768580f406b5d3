import QtQuick
import Korvane.Video

// Every channel at once, in the grid that gives each picture the most room; each keeps its
// aspect ratio.
Item {
    id: grid

    property var channels: []

    // Camera pictures are 16:9; the columns are chosen for the largest such picture.
    readonly property int columns: {
        const n = channels.length
        let best = 1, bestSize = 0
        for (let c = 1; c <= Math.max(1, n); ++c) {
            const rows = Math.ceil(n / c)
            const w = Math.min(width / c, (height / rows) * 16 / 9)
            if (w > bestSize + 0.5) {
                bestSize = w
                best = c
            }
        }
        return best
    }
    readonly property int rows: Math.max(1, Math.ceil(channels.length / columns))

    Repeater {
        model: grid.channels

        Item {
            id: cell
            required property var modelData
            required property int index

            objectName: "channel" + (cell.index + 1)
            width: grid.width / grid.columns
            height: grid.height / grid.rows
            // The last row is centred when it is not full.
            x: {
                const row = Math.floor(cell.index / grid.columns)
                const inRow = Math.min(grid.columns, grid.channels.length - row * grid.columns)
                return (cell.index % grid.columns) * cell.width + (grid.columns - inRow) * cell.width / 2
            }
            y: Math.floor(cell.index / grid.columns) * cell.height

            ChannelView {
                id: picture
                objectName: "picture" + (cell.index + 1)
                anchors.fill: parent
                anchors.margins: 1
                channel: cell.modelData
            }
            ChannelLabel {
                objectName: "channelLabel" + (cell.index + 1)
                x: picture.x + picture.pictureRect.x + picture.pictureRect.width - width - 6
                y: picture.y + picture.pictureRect.y + 6
                text: "CH" + (cell.index + 1)
            }
        }
    }
}
