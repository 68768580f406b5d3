import QtQuick
import QtQuick.Controls
import Korvane.Controls as K
import Korvane.Models

// The dashcam's settings in a window of their own over the main window, with a model of its own
// read from the card when it opens. Closing it drops the edits that were not saved.
K.ViewerWindow {
    id: settingsWindow

    required property AppViewModel viewModel
    required property Window mainWindow
    readonly property SettingsViewModel settings: viewModel.newSettings(settingsWindow)

    objectName: "settingsWindow"
    title: qsTr("블랙박스 설정")
    width: 1100
    height: 780
    transientParent: mainWindow
    flags: Qt.Window | Qt.WindowTitleHint | Qt.WindowCloseButtonHint
    visible: true

    SettingsLayout {
        anchors.fill: parent
        vm: settingsWindow.settings
        onSaved: settingsWindow.close()
    }

    onClosing: settingsWindow.viewModel.settingsClosed()

    Component.onCompleted: {
        x = mainWindow.screen.virtualX + (mainWindow.screen.width - width) / 2
        y = mainWindow.screen.virtualY + Math.max(0, (mainWindow.screen.height - height) / 2)
        raise()
        requestActivate()
    }
}
