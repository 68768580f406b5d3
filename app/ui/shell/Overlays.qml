import QtQuick
import Korvane.Controls as K
import Korvane.Models

// What covers the screen, most important first: a viewer that cannot start, no card, an alert,
// the progress of an open, a download, what was just saved and where.
K.OverlayMessage {
    id: overlay

    required property Notifications notifications
    required property CardSession session
    readonly property int kind: notifications.overlay

    // Without a card, recordings saved on the computer can still be opened.
    signal openRequested()

    objectName: "overlay"
    visible: kind !== Notifications.None
    title: {
        switch (kind) {
        case Notifications.SetupFailed: return qsTr("Korvane을 시작할 수 없습니다.")
        case Notifications.NoCard: return qsTr("SD 카드를 인식하지 못하였습니다.")
        case Notifications.Download: return qsTr("블랙박스 영상 다운로드")
        default: return ""
        }
    }
    message: {
        switch (kind) {
        case Notifications.SetupFailed: return session.setupProblem
        case Notifications.NoCard: return qsTr("블랙박스 SD 카드가 올바르게 삽입되었는지 확인해 주세요.")
        case Notifications.Alert: return notifications.alertMessage ?? ""
        case Notifications.Progress: return notifications.procMessage ?? ""
        case Notifications.Download: return notifications.downloadMessage ?? ""
        case Notifications.Saved: return notifications.savedMessage ?? ""
        default: return ""
        }
    }
    buttonText: {
        switch (kind) {
        case Notifications.SetupFailed: return qsTr("종료")
        case Notifications.NoCard: return qsTr("컴퓨터의 영상 열기")
        case Notifications.Alert: return qsTr("확인")
        case Notifications.Download: return qsTr("취소")
        case Notifications.Saved: return qsTr("확인")
        default: return ""
        }
    }
    secondButtonText: {
        switch (kind) {
        case Notifications.SetupFailed:
            return notifications.canWatchFromComputer ? qsTr("컴퓨터의 영상 열기") : ""
        case Notifications.Saved: return notifications.savedFolder !== "" ? qsTr("폴더 열기") : ""
        default: return ""
        }
    }
    onButtonTap: {
        switch (kind) {
        case Notifications.SetupFailed: Qt.exit(1); break
        case Notifications.NoCard: overlay.openRequested(); break
        case Notifications.Alert: notifications.closeAlert(); break
        case Notifications.Saved: notifications.closeSaved(); break
        default: notifications.closeDownload()
        }
    }
    onSecondButtonTap: {
        if (kind === Notifications.Saved)
            notifications.openSavedFolder()
        else
            overlay.openRequested()
    }

    // A message only to read closes with Enter or Escape, like its button.
    Shortcut {
        sequences: ["Return", "Enter", "Escape"]
        enabled: (overlay.kind === Notifications.Alert || overlay.kind === Notifications.Saved)
                 && !overlay.notifications.isAlerting
        onActivated: overlay.buttonTap()
    }

    K.BusyDots {
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.verticalCenter
        anchors.topMargin: 48
        visible: overlay.kind === Notifications.Progress
    }
}
