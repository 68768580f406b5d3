import QtQuick
import QtQuick.Controls

// An icon button. `system` names the symbol (an icon of this module), `name` identifies the
// button, `tip` says in words what it does.
ToolButton {
    id: button

    required property string name
    property string system
    property string tip
    // Shown instead of an icon when the button carries a short label.
    property string label
    // Looks unavailable but still shows its tool tip, which says why.
    property bool dimmed: false

    signal activated()

    objectName: name
    implicitWidth: label ? Math.max(56, contentItem.implicitWidth + 16) : 36
    implicitHeight: 36
    focusPolicy: Qt.NoFocus
    display: label ? AbstractButton.TextOnly : AbstractButton.IconOnly
    text: label
    icon.source: system ? Qt.resolvedUrl("icons/" + system + ".svg") : ""
    icon.width: 22
    icon.height: 22
    icon.color: enabled && !dimmed ? Theme.text : Theme.dimText
    opacity: enabled && !dimmed ? 1 : 0.45
    palette.buttonText: Theme.text

    ToolTip.visible: hovered && tip !== ""
    ToolTip.text: tip
    ToolTip.delay: 600

    onClicked: activated()
}
