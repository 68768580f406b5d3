import QtQuick
import Korvane.Models

// The map at the player's time: the car's position and the recording's route.
WebMap {
    id: view

    required property MapPosition position

    route: position.route
    onReady: moveMap(position.latitude, position.longitude)

    Connections {
        target: view.position
        function onPositionChanged() {
            view.moveMap(view.position.latitude, view.position.longitude)
        }
    }
}
