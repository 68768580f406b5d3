import QtQuick
import Korvane.Controls as K
import Korvane.Models

// Asks whether to play what can be read of a recording the card cannot read whole.
K.QuestionDialog {
    id: dialog

    required property AppViewModel viewModel

    name: "salvage"
    objectName: "salvageDialog"
    question: qsTr("손상된 영상입니다.")
    message: viewModel.opener.salvageQuestion
    visible: viewModel.opener.salvageQuestion !== ""

    onYes: viewModel.opener.answerSalvage(true)
    onNo: viewModel.opener.answerSalvage(false)
}
