import QtQuick
import QtQuick.Controls
import Korvane.Files
import Korvane.Models
import Korvane.Player
import Korvane.Settings

// The main window's content: it owns the application model and the card monitor for the
// application's lifetime and hands them to the views.
Item {
    id: content

    property string cardImage
    property string cardVolume
    readonly property AppViewModel viewModel: model
    property bool quitting: false

    function askToQuit() { quitDialog.open() }

    // Quits without asking; the working copies go as with "예".
    function quitNow() {
        model.session.quitConfirmed()
        quitting = true
        Window.window.close()
        Qt.quit()
    }

    // Playback pauses first. A settings window that is open comes to the front; otherwise a new
    // window with a new model replaces the closed one.
    function openSettings() {
        model.pauseForSettings()
        if (settingsLoader.item && settingsLoader.item.visible) {
            settingsLoader.item.raise()
            settingsLoader.item.requestActivate()
        } else {
            settingsLoader.active = false
            settingsLoader.active = true
        }
    }

    function toggleFullScreen() {
        const window = Window.window
        if (model.nowPlaying.videoPlayers.length > 0 || window.visibility === Window.FullScreen)
            window.visibility = window.visibility === Window.FullScreen ? Window.Windowed
                                                                        : Window.FullScreen
    }

    function leaveFullScreen() {
        if (Window.window.visibility === Window.FullScreen)
            Window.window.visibility = Window.Windowed
    }

    AppViewModel {
        id: model
    }

    SDManager {
        id: sdManager
    }

    VersionManager {
        id: versions
    }

    RootLayout {
        id: screen
        anchors.fill: parent
        library: model.library
        opener: model.opener
        nowPlaying: model.nowPlaying
        layout: model.layout
        downloads: model.downloads
        clips: model.clips
        timeline: model.timeline
        player: model.playerManager
        controls: model.controls
        gSensorGraph: model.gSensorGraph
        mapPosition: model.mapPosition
        actions: playerActions
        folders: model.saveFolders
        onFullScreenToggled: content.toggleFullScreen()
        onSettingsRequested: content.openSettings()
    }

    // Recordings dropped onto the window open as those picked with the open button, when those
    // could be picked.
    DropArea {
        objectName: "fileDrop"
        anchors.fill: parent
        enabled: model.notifications.canOpenFiles
        keys: ["text/uri-list"]
        onDropped: (drop) => {
            const files = model.library.droppedRecordings(drop.urls)
            if (files.length > 0) {
                drop.accept(Qt.CopyAction)
                model.library.openFiles(files)
            }
        }
    }

    Overlays {
        anchors.fill: parent
        notifications: model.notifications
        session: model.session
        onOpenRequested: playerActions.openFiles.trigger()
    }

    OpenFilesDialog {
        id: openDialog
        objectName: "openDialog"
        folders: model.saveFolders
        onPicked: (files) => model.library.openFiles(files)
    }

    Connections {
        target: playerActions.openFiles
        function onTriggered() { openDialog.start() }
    }

    Loader {
        active: model.layout.isPopupOpen
        sourceComponent: PopupWindow {
            nowPlaying: model.nowPlaying
            layout: model.layout
            mainWindow: content.Window.window
        }
    }

    Loader {
        id: settingsLoader
        active: false
        sourceComponent: SettingsWindow {
            viewModel: model
            mainWindow: content.Window.window
        }
    }

    QuitDialog {
        id: quitDialog
        notifications: model.notifications
        onConfirmed: content.quitNow()
    }

    SalvageDialog {
        opener: model.opener
    }

    ReleaseDialog {
        versionManager: versions
        onDownload: {
            Qt.openUrlExternally(versions.pageAddress)
            content.quitNow()
        }
    }

    PlayerActions {
        id: playerActions
        player: model.playerManager
        nowPlaying: model.nowPlaying
        clips: model.clips
    }

    Connections {
        target: playerActions.fullScreen
        function onTriggered() { content.toggleFullScreen() }
    }

    Connections {
        target: playerActions.leaveFullScreen
        function onTriggered() { content.leaveFullScreen() }
    }

    Shortcuts {
        notifications: model.notifications
        actions: playerActions
    }

    Component.onCompleted: {
        model.session.start(sdManager, cardImage, cardVolume)
        versions.checkForUpdate(model.notifications)
    }
}
