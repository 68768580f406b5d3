import QtQuick
import Korvane.Models

// Every operation of the player screen that has a key, in one table: what it is called, its key
// as the window takes it and as a tool tip names it, when it can run and what it does. The
// buttons, the window's keys and the tool tips all read it, so a key is declared once.
QtObject {
    id: actions

    required property MultiTrackPlayer player
    required property NowPlaying nowPlaying
    required property Clips clips
    readonly property bool hasVideo: nowPlaying.videoPlayers.length > 0

    component PlayerAction: QtObject {
        property string text
        property var sequence
        // The key as the tool tip names it.
        property string keyText
        property bool enabled: true
        property bool autoRepeat: false
        readonly property string tip: keyText === "" ? text : text + " (" + keyText + ")"
        signal triggered()
        function trigger() {
            if (enabled)
                triggered()
        }
    }

    // The files dialog belongs to the button bar; it answers this action.
    readonly property PlayerAction openFiles: PlayerAction {
        text: qsTr("MP4 파일 열기")
        sequence: StandardKey.Open
        keyText: "Ctrl+O"
    }
    readonly property PlayerAction playPause: PlayerAction {
        text: actions.player.isPlaying ? qsTr("일시 정지") : qsTr("재생")
        sequence: "Space"
        keyText: "Space"
        enabled: actions.hasVideo
        onTriggered: actions.player.isPlaying ? actions.player.pause() : actions.player.play()
    }
    readonly property PlayerAction skipBackward: PlayerAction {
        text: qsTr("10초 뒤로")
        sequence: "Left"
        keyText: "←"
        enabled: actions.hasVideo
        autoRepeat: true
        onTriggered: actions.player.skip(-10)
    }
    readonly property PlayerAction skipForward: PlayerAction {
        text: qsTr("10초 앞으로")
        sequence: "Right"
        keyText: "→"
        enabled: actions.hasVideo
        autoRepeat: true
        onTriggered: actions.player.skip(10)
    }
    readonly property PlayerAction stepBackward: PlayerAction {
        text: qsTr("한 프레임 뒤로")
        sequence: ","
        keyText: ","
        enabled: actions.hasVideo
        autoRepeat: true
        onTriggered: actions.player.stepBackward()
    }
    readonly property PlayerAction stepForward: PlayerAction {
        text: qsTr("한 프레임 앞으로")
        sequence: "."
        keyText: "."
        enabled: actions.hasVideo
        autoRepeat: true
        onTriggered: actions.player.stepForward()
    }
    readonly property PlayerAction slower: PlayerAction {
        text: qsTr("느리게")
        sequence: "["
        keyText: "["
        enabled: actions.hasVideo
        onTriggered: actions.player.slower()
    }
    readonly property PlayerAction faster: PlayerAction {
        text: qsTr("빠르게")
        sequence: "]"
        keyText: "]"
        enabled: actions.hasVideo
        onTriggered: actions.player.faster()
    }
    readonly property PlayerAction markClipStart: PlayerAction {
        text: qsTr("증거 영상 시작 지점 표시")
        sequence: "I"
        keyText: "I"
        enabled: actions.hasVideo
        onTriggered: actions.clips.markClipStart()
    }
    readonly property PlayerAction markClipEnd: PlayerAction {
        text: qsTr("증거 영상 끝 지점 표시")
        sequence: "O"
        keyText: "O"
        enabled: actions.hasVideo
        onTriggered: actions.clips.markClipEnd()
    }
    // Full screen is the window's: it answers these two.
    readonly property PlayerAction fullScreen: PlayerAction {
        sequence: "F"
    }
    readonly property PlayerAction leaveFullScreen: PlayerAction {
        sequence: "Escape"
    }
    // The keys in the order the window takes them.
    readonly property list<PlayerAction> withKeys: [
        playPause, skipBackward, skipForward, stepBackward, stepForward, slower, faster,
        markClipStart, markClipEnd, fullScreen, leaveFullScreen, openFiles
    ]
}
