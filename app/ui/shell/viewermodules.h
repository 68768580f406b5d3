#pragma once

// The viewer's QML modules are built into the program that includes this, once: its main file.
#include <QtQml/QQmlExtensionPlugin>

Q_IMPORT_QML_PLUGIN(Korvane_ShellPlugin)
Q_IMPORT_QML_PLUGIN(Korvane_PlayerPlugin)
Q_IMPORT_QML_PLUGIN(Korvane_ControlsPlugin)
Q_IMPORT_QML_PLUGIN(Korvane_ModelsPlugin)
Q_IMPORT_QML_PLUGIN(Korvane_VideoPlugin)
Q_IMPORT_QML_PLUGIN(Korvane_GraphPlugin)
Q_IMPORT_QML_PLUGIN(Korvane_MapPlugin)
Q_IMPORT_QML_PLUGIN(Korvane_SettingsPlugin)
Q_IMPORT_QML_PLUGIN(Korvane_FilesPlugin)
Q_IMPORT_QML_PLUGIN(Korvane_TimelinePlugin)
