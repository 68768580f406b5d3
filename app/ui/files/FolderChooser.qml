import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Controls as K
import Korvane.Models

// The window's own folder chooser, for desktops without file dialogs. One folder is shown at a
// time and the folder shown is the folder chosen: a click on a subfolder enters it, "새 폴더"
// makes one inside the folder shown and enters it. Enter chooses, Escape cancels, Backspace or
// Alt+Up goes to the folder above, Ctrl+Shift+N names a new folder.
Dialog {
    id: chooser

    property string heading
    property string acceptText: qsTr("이 폴더에 저장")

    signal chosen(url folder)

    function start(folder) {
        browser.folder = folder
        naming.visible = false
        open()
        keys.forceActiveFocus()
    }
    function choose() {
        close()
        chosen(browser.folder)
    }
    function nameNewFolder() {
        naming.visible = true
        nameField.text = qsTr("새 폴더")
        nameField.selectAll()
        nameField.forceActiveFocus()
    }
    function makeNamedFolder() {
        if (browser.makeFolder(nameField.text)) {
            naming.visible = false
            keys.forceActiveFocus()
        } else {
            // The name stays for mending; Enter must not choose the folder shown instead.
            nameField.selectAll()
            nameField.forceActiveFocus()
        }
    }

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(parent.width - 40, 560)
    height: Math.min(parent.height - 40, 460)
    modal: true
    focus: true
    closePolicy: Popup.NoAutoClose
    padding: 16

    background: Rectangle {
        color: K.Theme.panel
        border.color: K.Theme.line
        radius: 10
    }
    Overlay.modal: Rectangle {
        color: "#90000000"
    }

    FolderBrowser {
        id: browser
    }

    ColumnLayout {
        id: keys
        anchors.fill: parent
        spacing: 10
        focus: true
        Keys.onReturnPressed: chooser.choose()
        Keys.onEnterPressed: chooser.choose()
        Keys.onEscapePressed: chooser.close()
        Keys.onPressed: (event) => {
            if (event.key === Qt.Key_Backspace
                    || (event.key === Qt.Key_Up && (event.modifiers & Qt.AltModifier))) {
                browser.up()
                event.accepted = true
            } else if (event.key === Qt.Key_N && (event.modifiers & Qt.ControlModifier)
                       && (event.modifiers & Qt.ShiftModifier)) {
                chooser.nameNewFolder()
                event.accepted = true
            }
        }

        Label {
            Layout.fillWidth: true
            text: chooser.heading
            font.pixelSize: 15
            font.bold: true
            color: K.Theme.text
            elide: Text.ElideRight
        }
        RowLayout {
            spacing: 6
            K.ImageButton {
                name: "folderUp"
                system: "arrow.up"
                tip: qsTr("상위 폴더")
                enabled: !browser.atTop
                onActivated: browser.up()
            }
            Label {
                objectName: "folderShown"
                Layout.fillWidth: true
                text: browser.shownFolder
                textFormat: Text.PlainText
                elide: Text.ElideLeft
                color: K.Theme.text
                font.pixelSize: 14
            }
            K.ImageButton {
                name: "newFolder"
                system: "folder.badge.plus"
                tip: qsTr("새 폴더")
                onActivated: chooser.nameNewFolder()
            }
        }
        RowLayout {
            id: naming
            visible: false
            spacing: 6
            TextField {
                id: nameField
                objectName: "newFolderName"
                Layout.fillWidth: true
                Keys.onReturnPressed: chooser.makeNamedFolder()
                Keys.onEnterPressed: chooser.makeNamedFolder()
                Keys.onEscapePressed: {
                    naming.visible = false
                    keys.forceActiveFocus()
                }
            }
            Button {
                objectName: "makeFolder"
                text: qsTr("만들기")
                focusPolicy: Qt.NoFocus
                onClicked: chooser.makeNamedFolder()
            }
        }
        Label {
            objectName: "folderProblem"
            visible: browser.problem !== ""
            text: browser.problem
            color: K.Theme.notice
        }
        Frame {
            Layout.fillWidth: true
            Layout.fillHeight: true
            padding: 1
            background: Rectangle {
                color: K.Theme.window
                border.color: K.Theme.line
            }
            ListView {
                id: list
                objectName: "subfolders"
                anchors.fill: parent
                clip: true
                model: browser.subfolders
                boundsBehavior: Flickable.StopAtBounds
                ScrollBar.vertical: ScrollBar {}
                delegate: ItemDelegate {
                    required property string modelData
                    objectName: "subfolder:" + modelData
                    width: ListView.view.width
                    text: modelData
                    icon.source: K.Theme.icon("folder")
                    icon.color: K.Theme.dimText
                    focusPolicy: Qt.NoFocus
                    onClicked: browser.enter(modelData)
                }
                Label {
                    anchors.centerIn: parent
                    visible: list.count === 0
                    text: qsTr("하위 폴더가 없습니다.")
                    color: K.Theme.dimText
                }
            }
        }
        RowLayout {
            Layout.alignment: Qt.AlignRight
            spacing: 8
            Button {
                objectName: "chooseFolder"
                text: chooser.acceptText
                highlighted: true
                focusPolicy: Qt.NoFocus
                onClicked: chooser.choose()
            }
            Button {
                objectName: "cancelFolder"
                text: qsTr("취소")
                focusPolicy: Qt.NoFocus
                onClicked: chooser.close()
            }
        }
    }
}
