import QtQuick
import Korvane.Controls as K
import Korvane.Models

// Asks before the viewer quits; the model is alerting while the question is up.
K.QuestionDialog {
    id: dialog

    required property Notifications notifications

    signal confirmed()

    name: "quit"
    objectName: "quitDialog"
    question: qsTr("종료 하시겠습니까?")

    onYes: {
        close()
        confirmed()
    }
    onNo: close()
    onOpened: notifications.isAlerting = true
    onClosed: notifications.isAlerting = false
}
