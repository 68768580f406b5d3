import QtQuick
import QtQuick.Controls as QQC
import QtQuick.Layouts
import Korvane.Controls as K
import Korvane.Models

// The recording types as tabs and the list of the chosen type.
Rectangle {
    id: panel

    required property RecordingLibrary library
    required property RecordingOpener opener

    color: K.Theme.panel

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 4
        spacing: 4

        K.TabButton {
            objectName: "typeTabs"
            Layout.fillWidth: true
            items: panel.library.tabTitles
            selectedIndex: panel.library.selectedTab
            onSelect: (index) => panel.library.selectTab(index)
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 0
            QQC.CheckBox {
                objectName: "checkAll"
                Layout.preferredWidth: 112
                text: qsTr("전체선택")
                focusPolicy: Qt.NoFocus
                checked: panel.library.isAllChecked
                palette.windowText: K.Theme.text
                onToggled: panel.library.checkAll(checked)
            }
            QQC.Label {
                Layout.preferredWidth: 200
                text: qsTr("녹화 시간")
                color: K.Theme.dimText
            }
            QQC.Label {
                Layout.fillWidth: true
                horizontalAlignment: Text.AlignRight
                rightPadding: 8
                text: qsTr("크기")
                color: K.Theme.dimText
            }
        }

        FileList {
            Layout.fillWidth: true
            Layout.fillHeight: true
            library: panel.library
            opener: panel.opener
        }

        QQC.Label {
            objectName: "unfinishedLegend"
            Layout.fillWidth: true
            Layout.margins: 6
            visible: panel.library.filtered.hasUnfinished
            text: qsTr("* 전원이 끊겨 마무리되지 않은 녹화입니다. 열면 복구해서 재생합니다.")
            wrapMode: Text.Wrap
            font.pixelSize: 12
            color: K.Theme.dimText
        }
    }
}
