import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Controls as K
import Korvane.Models

// The product's name, what is playing, and the window's buttons while a recording is open.
Rectangle {
    id: header

    required property NowPlaying nowPlaying
    required property ScreenLayout layout

    // The window's owner switches full screen, for this button and the keys alike.
    signal fullScreenToggled()

    implicitHeight: 48
    color: K.Theme.panel

    RowLayout {
        anchors { fill: parent; leftMargin: 12; rightMargin: 8 }
        spacing: 10

        K.ImageButton {
            name: "toggleList"
            visible: !header.layout.isFullScreen
            system: "sidebar.left"
            highlighted: header.layout.listShown
            tip: header.layout.listShown ? qsTr("목록 숨기기") : qsTr("목록 보이기")
            onActivated: header.layout.toggleList()
        }
        K.Logo {
            Layout.preferredWidth: 32
            Layout.preferredHeight: 32
        }
        Label {
            text: "Korvane"
            font.pixelSize: 18
            font.bold: true
            color: K.Theme.text
        }
        Label {
            objectName: "openTitle"
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            text: header.nowPlaying.openTitle
            textFormat: Text.PlainText
            font.pixelSize: 14
            color: K.Theme.text
            elide: Text.ElideRight
        }
        K.TextButton {
            name: "ch5"
            title: "CH5"
            // In full screen the fifth channel has a tab instead.
            visible: header.nowPlaying.videoPlayers.length === 5 && !header.layout.isFullScreen
            onActivated: header.layout.togglePopup()
            ToolTip.visible: hovered
            ToolTip.text: qsTr("5번 채널을 별도 창으로 보기")
            ToolTip.delay: 600
        }
        K.TextButton {
            name: "fullScreen"
            title: qsTr("전체 화면")
            visible: header.nowPlaying.videoPlayers.length > 0
            ToolTip.visible: hovered
            ToolTip.text: qsTr("전체 화면 보기와 끝내기 (F, Esc)")
            ToolTip.delay: 600
            onActivated: header.fullScreenToggled()
        }
        K.ImageButton {
            name: "toggleSidePanel"
            visible: !header.layout.isFullScreen
            system: "sidebar.right"
            highlighted: header.layout.sidePanelShown
            tip: header.layout.sidePanelShown ? qsTr("오른쪽 패널 숨기기") : qsTr("오른쪽 패널 보이기")
            onActivated: header.layout.toggleSidePanel()
        }
    }
}
