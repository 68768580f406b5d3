import QtQuick
import Korvane.Controls as K
import Korvane.Models

// Asks whether to play what can be read of a recording the card cannot read whole.
K.QuestionDialog {
    id: dialog

    required property RecordingOpener opener

    name: "salvage"
    objectName: "salvageDialog"
    question: qsTr("손상된 영상입니다.")
    message: opener.salvageQuestion
    visible: opener.salvageQuestion !== ""

    onYes: opener.answerSalvage(true)
    onNo: opener.answerSalvage(false)
}
