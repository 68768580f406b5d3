import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Controls as K

// A title and a choice among `items`; `selection` outside the items chooses none.
RowLayout {
    id: picker

    property string title
    property int selection: -1
    property var items: []

    signal picked(int index)

    Layout.fillWidth: true
    spacing: 12

    Label {
        Layout.fillWidth: true
        text: picker.title
        color: K.Theme.text
    }
    ComboBox {
        objectName: "picker:" + picker.title
        Layout.preferredWidth: 190
        model: picker.items
        currentIndex: picker.selection >= 0 && picker.selection < picker.items.length
                      ? picker.selection : -1
        // A list opened and closed again on no item (the card's value is none of them) changes
        // nothing.
        onActivated: (index) => {
            if (index >= 0)
                picker.picked(index)
        }
    }
}
