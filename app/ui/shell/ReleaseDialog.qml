import QtQuick
import Korvane.Controls as K
import Korvane.Models

// Tells the user that a newer release is out and offers its download page.
K.QuestionDialog {
    id: dialog

    required property VersionManager versionManager

    signal download()

    name: "release"
    objectName: "releaseDialog"
    question: qsTr("앱이 업데이트 되었습니다.")
    message: versionManager.updateMessage
    visible: versionManager.updateMessage !== ""

    onYes: download()
    onNo: versionManager.answered()
}
