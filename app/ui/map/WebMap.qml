import QtQuick
import QtWebChannel
import QtWebEngine
import Korvane.Map

// The map page in a web view, laid over the panel's background, with its bridge. Positions and
// the route go to the page through the coordinator, which holds them back until the page is ready.
Item {
    id: map

    property var route: []
    readonly property MapCoordinator coordinator: bridge
    readonly property alias view: web

    signal ready()
    signal routeClicked(double latitude, double longitude)

    function moveMap(latitude, longitude) { bridge.moveMap(latitude, longitude) }

    onRouteChanged: bridge.showRoute(route)

    MapCoordinator {
        id: bridge
        WebChannel.id: "mapBridge"
        onEvaluate: (script) => web.runJavaScript(script)
        onRouteClicked: (latitude, longitude) => map.routeClicked(latitude, longitude)
        onIsMapReadyChanged: {
            web.runJavaScript("setOfflineText(" + JSON.stringify(
                qsTr("지도 그림은 인터넷에 연결되어 있을 때 보입니다. 경로와 차의 위치는 그대로 표시됩니다."))
                + ")")
            bridge.showRoute(map.route)
            map.ready()
        }
    }

    WebEngineView {
        id: web
        objectName: "mapPage"
        anchors.fill: parent
        backgroundColor: "transparent"
        url: "qrc:/Korvane/Map/map.html"
        webChannel: WebChannel { registeredObjects: [bridge] }
    }
}
