import QtQuick
import Korvane.Models

// The map at the player's time: the car's position and the route of its drive; a click on the
// route plays from the moment the car was there.
WebMap {
    id: view

    required property MapPosition position

    route: position.route
    onReady: moveMap(position.latitude, position.longitude)
    onRouteClicked: (latitude, longitude) => position.chooseRoutePoint(latitude, longitude)

    Connections {
        target: view.position
        function onPositionChanged() {
            view.moveMap(view.position.latitude, view.position.longitude)
        }
    }
}
