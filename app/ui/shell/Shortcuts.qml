import QtQuick
import Korvane.Models

// The keys of the window: Space plays and pauses, the arrows go 10 s back and forth, "," and "."
// step one picture, "[" and "]" play slower and faster, I and O mark an evidence clip, F and
// Escape switch full screen, Ctrl+O opens files. Up, Down and Enter belong to the list.
Item {
    id: keys

    required property AppViewModel viewModel
    readonly property MultiTrackPlayer player: viewModel.playerManager
    readonly property bool active: viewModel.notifications.overlay === Notifications.None && !viewModel.notifications.isAlerting
    readonly property bool hasVideo: viewModel.nowPlaying.videoPlayers.length > 0

    signal fullScreen()
    signal leaveFullScreen()
    signal openFiles()

    Shortcut {
        sequence: "Space"
        enabled: keys.active && keys.hasVideo
        onActivated: keys.player.isPlaying ? keys.player.pause() : keys.player.play()
    }
    Shortcut {
        sequence: "Left"
        enabled: keys.active && keys.hasVideo
        autoRepeat: true
        onActivated: keys.player.skip(-10)
    }
    Shortcut {
        sequence: "Right"
        enabled: keys.active && keys.hasVideo
        autoRepeat: true
        onActivated: keys.player.skip(10)
    }
    Shortcut {
        sequence: ","
        enabled: keys.active && keys.hasVideo
        autoRepeat: true
        onActivated: keys.player.stepBackward()
    }
    Shortcut {
        sequence: "."
        enabled: keys.active && keys.hasVideo
        autoRepeat: true
        onActivated: keys.player.stepForward()
    }
    Shortcut {
        sequence: "["
        enabled: keys.active && keys.hasVideo
        onActivated: keys.player.slower()
    }
    Shortcut {
        sequence: "]"
        enabled: keys.active && keys.hasVideo
        onActivated: keys.player.faster()
    }
    Shortcut {
        sequence: "I"
        enabled: keys.active && keys.hasVideo
        onActivated: keys.viewModel.clips.markClipStart()
    }
    Shortcut {
        sequence: "O"
        enabled: keys.active && keys.hasVideo
        onActivated: keys.viewModel.clips.markClipEnd()
    }
    Shortcut {
        sequence: "F"
        enabled: keys.active
        onActivated: keys.fullScreen()
    }
    Shortcut {
        sequence: "Escape"
        enabled: keys.active
        onActivated: keys.leaveFullScreen()
    }
    Shortcut {
        sequence: StandardKey.Open
        enabled: keys.active
        onActivated: keys.openFiles()
    }
}
