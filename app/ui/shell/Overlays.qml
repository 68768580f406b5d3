import QtQuick
import Korvane.Controls as K
import Korvane.Models

// What covers the screen, most important first: a viewer that cannot start, no card, an alert,
// the progress of an open, a download.
K.OverlayMessage {
    id: overlay

    required property AppViewModel viewModel
    readonly property string kind: viewModel.overlay
    readonly property bool downloadDone: viewModel.downloadMessage === ""

    objectName: "overlay"
    visible: kind !== ""
    title: {
        switch (kind) {
        case "setupFailed": return qsTr("Korvane을 시작할 수 없습니다.")
        case "noCard": return qsTr("SD 카드를 인식하지 못하였습니다.")
        case "download": return qsTr("블랙박스 영상 다운로드")
        default: return ""
        }
    }
    message: {
        switch (kind) {
        case "setupFailed": return viewModel.setupProblem
        case "noCard": return qsTr("블랙박스 SD 카드가 올바르게 삽입되었는지 확인해 주세요.")
        case "alert": return viewModel.alertMessage ?? ""
        case "progress": return viewModel.procMessage ?? ""
        case "download":
            return downloadDone ? qsTr("다운로드가 완료되었습니다.") : viewModel.downloadMessage ?? ""
        default: return ""
        }
    }
    buttonText: {
        switch (kind) {
        case "setupFailed": return qsTr("종료")
        case "alert": return qsTr("확인")
        case "download": return downloadDone ? qsTr("닫기") : qsTr("취소")
        default: return ""
        }
    }
    onButtonTap: {
        switch (kind) {
        case "setupFailed": Qt.exit(1); break
        case "alert": viewModel.closeAlert(); break
        default: viewModel.closeDownload()
        }
    }

    K.BusyDots {
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.verticalCenter
        anchors.topMargin: 48
        visible: overlay.kind === "progress"
    }
}
