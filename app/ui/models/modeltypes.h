#pragma once

#include "model/appviewmodel.h"
#include "card/sdmanager.h"
#include "model/versionmanager.h"

#include <QtQml/qqml.h>

// The models as QML types. They are registered here, not in their own headers, so that the models
// stay free of QML and every one of them can be tested without a window.
namespace korvane::qml {

struct AppViewModelType
{
    Q_GADGET
    QML_FOREIGN(korvane::AppViewModel)
    QML_NAMED_ELEMENT(AppViewModel)
};

struct SDManagerType
{
    Q_GADGET
    QML_FOREIGN(korvane::SDManager)
    QML_NAMED_ELEMENT(SDManager)
};

struct VersionManagerType
{
    Q_GADGET
    QML_FOREIGN(korvane::VersionManager)
    QML_NAMED_ELEMENT(VersionManager)
};

struct GSensorGraphType
{
    Q_GADGET
    QML_FOREIGN(korvane::GSensorGraph)
    QML_NAMED_ELEMENT(GSensorGraph)
    QML_UNCREATABLE("the application model owns the graph")
};

struct MultiTrackPlayerType
{
    Q_GADGET
    QML_FOREIGN(korvane::MultiTrackPlayer)
    QML_NAMED_ELEMENT(MultiTrackPlayer)
    QML_UNCREATABLE("the application model owns the player")
};

struct MediaDataViewModelType
{
    Q_GADGET
    QML_FOREIGN(korvane::MediaDataViewModel)
    QML_NAMED_ELEMENT(MediaDataViewModel)
    QML_UNCREATABLE("the application model owns the media data")
};

struct PlayerControlsType
{
    Q_GADGET
    QML_FOREIGN(korvane::PlayerControls)
    QML_NAMED_ELEMENT(PlayerControls)
    QML_UNCREATABLE("the application model owns the controls")
};

struct RecordingListModelType
{
    Q_GADGET
    QML_FOREIGN(korvane::RecordingListModel)
    QML_NAMED_ELEMENT(RecordingListModel)
    QML_UNCREATABLE("the application model owns the list")
};

struct MapPositionType
{
    Q_GADGET
    QML_FOREIGN(korvane::MapPosition)
    QML_NAMED_ELEMENT(MapPosition)
    QML_UNCREATABLE("the application model owns the map position")
};

struct SettingsViewModelType
{
    Q_GADGET
    QML_FOREIGN(korvane::SettingsViewModel)
    QML_NAMED_ELEMENT(SettingsViewModel)
    QML_UNCREATABLE("a settings window gets its model from the application model")
};

} // namespace korvane::qml
