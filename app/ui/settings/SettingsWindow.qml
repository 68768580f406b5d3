import QtQuick
import QtQuick.Controls
import Korvane.Controls as K
import Korvane.Models

// The dashcam's settings in a window of their own over the main window, with a model of its own
// read from the card when it opens. Closing it, "취소" or Escape drop the edits that were not
// saved. It fits the screen's free area with room for its title bar; the settings scroll inside.
K.ViewerWindow {
    id: settingsWindow

    required property AppViewModel viewModel
    required property Window mainWindow
    readonly property SettingsViewModel settings: viewModel.newSettings(settingsWindow)

    objectName: "settingsWindow"
    title: qsTr("블랙박스 설정")
    width: 1100
    height: 780
    minimumWidth: 640
    minimumHeight: 480
    // Kept free above the window for the title bar the window manager adds.
    readonly property int titleRoom: 40
    transientParent: mainWindow
    flags: Qt.Window | Qt.WindowTitleHint | Qt.WindowCloseButtonHint
    visible: true

    SettingsLayout {
        anchors.fill: parent
        vm: settingsWindow.settings
        onSaved: {
            settingsWindow.viewModel.settingsSaved()
            settingsWindow.close()
        }
        onCancelled: settingsWindow.close()
    }

    onClosing: settingsWindow.viewModel.settingsClosed()

    Component.onCompleted: {
        const area = viewModel.layout.freeArea(mainWindow)
        width = Math.min(1100, area.width - 40)
        height = Math.min(780, area.height - titleRoom * 2)
        x = area.x + (area.width - width) / 2
        y = area.y + Math.max(titleRoom, (area.height - height) / 2)
        raise()
        requestActivate()
    }
}
