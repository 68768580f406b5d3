import QtQuick
import Korvane.Models
import Korvane.Player

// The keys of the window, as the player's action table declares them: Space plays and pauses,
// the arrows go 10 s back and forth, "," and "." step one picture, "[" and "]" play slower and
// faster, I and O mark an evidence clip, F and Escape switch full screen, Ctrl+O opens files.
// Up, Down and Enter belong to the list.
Item {
    id: keys

    required property Notifications notifications
    required property PlayerActions actions
    readonly property bool active: notifications.overlay === Notifications.None && !notifications.isAlerting

    Shortcut {
        sequence: keys.actions.playPause.sequence
        enabled: keys.active && keys.actions.playPause.enabled
        autoRepeat: keys.actions.playPause.autoRepeat
        onActivated: keys.actions.playPause.trigger()
    }
    Shortcut {
        sequence: keys.actions.skipBackward.sequence
        enabled: keys.active && keys.actions.skipBackward.enabled
        autoRepeat: keys.actions.skipBackward.autoRepeat
        onActivated: keys.actions.skipBackward.trigger()
    }
    Shortcut {
        sequence: keys.actions.skipForward.sequence
        enabled: keys.active && keys.actions.skipForward.enabled
        autoRepeat: keys.actions.skipForward.autoRepeat
        onActivated: keys.actions.skipForward.trigger()
    }
    Shortcut {
        sequence: keys.actions.stepBackward.sequence
        enabled: keys.active && keys.actions.stepBackward.enabled
        autoRepeat: keys.actions.stepBackward.autoRepeat
        onActivated: keys.actions.stepBackward.trigger()
    }
    Shortcut {
        sequence: keys.actions.stepForward.sequence
        enabled: keys.active && keys.actions.stepForward.enabled
        autoRepeat: keys.actions.stepForward.autoRepeat
        onActivated: keys.actions.stepForward.trigger()
    }
    Shortcut {
        sequence: keys.actions.slower.sequence
        enabled: keys.active && keys.actions.slower.enabled
        autoRepeat: keys.actions.slower.autoRepeat
        onActivated: keys.actions.slower.trigger()
    }
    Shortcut {
        sequence: keys.actions.faster.sequence
        enabled: keys.active && keys.actions.faster.enabled
        autoRepeat: keys.actions.faster.autoRepeat
        onActivated: keys.actions.faster.trigger()
    }
    Shortcut {
        sequence: keys.actions.markClipStart.sequence
        enabled: keys.active && keys.actions.markClipStart.enabled
        autoRepeat: keys.actions.markClipStart.autoRepeat
        onActivated: keys.actions.markClipStart.trigger()
    }
    Shortcut {
        sequence: keys.actions.markClipEnd.sequence
        enabled: keys.active && keys.actions.markClipEnd.enabled
        autoRepeat: keys.actions.markClipEnd.autoRepeat
        onActivated: keys.actions.markClipEnd.trigger()
    }
    Shortcut {
        sequence: keys.actions.fullScreen.sequence
        enabled: keys.active && keys.actions.fullScreen.enabled
        autoRepeat: keys.actions.fullScreen.autoRepeat
        onActivated: keys.actions.fullScreen.trigger()
    }
    Shortcut {
        sequence: keys.actions.leaveFullScreen.sequence
        enabled: keys.active && keys.actions.leaveFullScreen.enabled
        autoRepeat: keys.actions.leaveFullScreen.autoRepeat
        onActivated: keys.actions.leaveFullScreen.trigger()
    }
    Shortcut {
        sequence: keys.actions.openFiles.sequence
        // Also while the no-card cover is up.
        enabled: keys.notifications.canOpenFiles && keys.actions.openFiles.enabled
        autoRepeat: keys.actions.openFiles.autoRepeat
        onActivated: keys.actions.openFiles.trigger()
    }
}
