import QtQuick
import QtQuick.Dialogs
import Korvane.Models

// Asks for recordings saved on the computer: the desktop's own dialog where it offers one, else
// Qt's own. It starts in the folder recordings were last opened from, first in the user's Videos.
FileDialog {
    id: dialog

    required property SaveFolders folders

    signal picked(var files)

    function start() {
        currentFolder = folders.folderFor(SaveFolders.Opened)
        open()
    }

    title: qsTr("MP4 파일 선택")
    fileMode: FileDialog.OpenFiles
    nameFilters: [qsTr("MP4 파일 (*.mp4)")]
    onAccepted: {
        if (selectedFiles.length > 0)
            folders.rememberFolderOf(SaveFolders.Opened, selectedFiles[0])
        picked(selectedFiles)
    }
}
