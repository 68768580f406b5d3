import QtQuick
import QtQuick.Layouts
import Korvane.Controls as K
import Korvane.Models

// The player screen: the list on the left, the channels with their bars in the middle, the side
// panel on the right. In full screen only the middle stays.
Rectangle {
    id: root

    required property AppViewModel viewModel
    required property PlayerActions actions

    signal fullScreenToggled()
    signal settingsRequested()

    color: K.Theme.window

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        HeaderBar {
            Layout.fillWidth: true
            viewModel: root.viewModel
            onFullScreenToggled: root.fullScreenToggled()
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 0

            LeftPanel {
                Layout.fillHeight: true
                Layout.preferredWidth: 404
                visible: !root.viewModel.layout.isFullScreen
                viewModel: root.viewModel
            }

            ColumnLayout {
                Layout.fillWidth: true
                Layout.fillHeight: true
                spacing: 0

                RowLayout {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    spacing: 0

                    ColumnLayout {
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        spacing: 0

                        K.TabButton {
                            objectName: "layoutTabs"
                            Layout.leftMargin: K.Theme.gap
                            Layout.topMargin: 4
                            Layout.preferredHeight: 32
                            items: root.viewModel.layout.layoutTabs
                            selectedIndex: root.viewModel.layout.layoutTabIndex
                            onSelect: (index) => root.viewModel.layout.selectLayoutTab(index)
                        }

                        VideoLayout {
                            Layout.fillWidth: true
                            Layout.fillHeight: true
                            viewModel: root.viewModel
                        }
                    }

                    RightPanel {
                        Layout.fillHeight: true
                        Layout.preferredWidth: 280
                        visible: !root.viewModel.layout.isFullScreen
                        viewModel: root.viewModel
                    }
                }

                SeekControlBar {
                    Layout.fillWidth: true
                    viewModel: root.viewModel
                }

                PlayButtonBar {
                    id: buttons
                    Layout.fillWidth: true
                    viewModel: root.viewModel
                    actions: root.actions
                    onSettingsRequested: root.settingsRequested()
                }

                AVControlBar {
                    Layout.fillWidth: true
                    viewModel: root.viewModel
                    actions: root.actions
                }
            }
        }
    }
}
