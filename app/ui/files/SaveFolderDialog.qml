import QtQuick
import QtQuick.Dialogs
import Korvane.Files
import Korvane.Models

// Asks where to save a kind of file: the desktop's own folder dialog where it offers one, else
// the window's own chooser. Both start in the folder last chosen for the kind, or the user's own
// folder for it, and remember the folder chosen.
Item {
    id: dialog

    required property SaveFolders folders
    required property int kind
    property string title: qsTr("저장할 폴더를 선택하세요.")

    signal chosen(url folder)

    function open() {
        const start = folders.folderFor(kind)
        if (DesktopDialogs.offered) {
            desktop.currentFolder = start
            desktop.open()
        } else {
            own.start(start)
        }
    }
    function accept(folder) {
        folders.remember(kind, folder)
        chosen(folder)
    }

    FolderDialog {
        id: desktop
        title: dialog.title
        onAccepted: dialog.accept(selectedFolder)
    }
    FolderChooser {
        id: own
        objectName: dialog.objectName + "Chooser"
        heading: dialog.title
        onChosen: (folder) => dialog.accept(folder)
    }
}
