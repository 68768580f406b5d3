import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Korvane.Models

// The dashcam's own Wi-Fi network. The notes inform; what is typed is what is saved.
GroupCard {
    id: section

    required property SettingsViewModel vm

    title: "Wi-Fi"

    GridLayout {
        Layout.fillWidth: true
        columns: 2
        columnSpacing: 12
        Label { text: "SSID" }
        TextField {
            objectName: "field:ssid"
            Layout.fillWidth: true
            text: section.vm.wifiSSID
            onTextEdited: section.vm.wifiSSID = text
        }
        Label { text: qsTr("암호") }
        TextField {
            objectName: "field:password"
            Layout.fillWidth: true
            echoMode: TextInput.Password
            text: section.vm.wifiPW
            onTextEdited: section.vm.wifiPW = text
        }
    }
    Label {
        Layout.fillWidth: true
        text: qsTr("* SSID는 4-14자, 암호는 8-10자 이여야 합니다.")
        color: "#ff6b6b"
        wrapMode: Text.Wrap
        font.pixelSize: 12
    }
    Label {
        Layout.fillWidth: true
        text: qsTr("* 문자 형식은 영문, 숫자, 특수문자(!, -, _)만 허용합니다.")
        color: "#ff6b6b"
        wrapMode: Text.Wrap
        font.pixelSize: 12
    }
}
