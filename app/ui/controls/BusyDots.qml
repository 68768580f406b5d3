import QtQuick

// Three dots that pulse while work is under way.
Row {
    spacing: 8
    Repeater {
        model: 3
        Rectangle {
            id: dot
            required property int index
            width: 9
            height: 9
            radius: 4.5
            color: Theme.accent
            SequentialAnimation on opacity {
                loops: Animation.Infinite
                running: dot.visible
                PauseAnimation { duration: dot.index * 200 }
                NumberAnimation { from: 1; to: 0.2; duration: 400 }
                NumberAnimation { from: 0.2; to: 1; duration: 400 }
                PauseAnimation { duration: (2 - dot.index) * 200 }
            }
        }
    }
}
