#pragma once

#include "card/sdmanager.h"
#include "model/appviewmodel.h"
#include "model/folderbrowser.h"
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

struct CardSessionType
{
    Q_GADGET
    QML_FOREIGN(korvane::CardSession)
    QML_NAMED_ELEMENT(CardSession)
    QML_UNCREATABLE("the application model owns the card session")
};

struct NotificationsType
{
    Q_GADGET
    QML_FOREIGN(korvane::Notifications)
    QML_NAMED_ELEMENT(Notifications)
    QML_UNCREATABLE("the application model owns the notifications")
};

struct RecordingLibraryType
{
    Q_GADGET
    QML_FOREIGN(korvane::RecordingLibrary)
    QML_NAMED_ELEMENT(RecordingLibrary)
    QML_UNCREATABLE("the application model owns the recording library")
};

struct RecordingOpenerType
{
    Q_GADGET
    QML_FOREIGN(korvane::RecordingOpener)
    QML_NAMED_ELEMENT(RecordingOpener)
    QML_UNCREATABLE("the application model owns the opener")
};

struct NowPlayingType
{
    Q_GADGET
    QML_FOREIGN(korvane::NowPlaying)
    QML_NAMED_ELEMENT(NowPlaying)
    QML_UNCREATABLE("the application model owns the recording now playing")
};

struct ScreenLayoutType
{
    Q_GADGET
    QML_FOREIGN(korvane::ScreenLayout)
    QML_NAMED_ELEMENT(ScreenLayout)
    QML_UNCREATABLE("the application model owns the screen layout")
};

struct DownloadsType
{
    Q_GADGET
    QML_FOREIGN(korvane::Downloads)
    QML_NAMED_ELEMENT(Downloads)
    QML_UNCREATABLE("the application model owns the downloads")
};

struct ClipsType
{
    Q_GADGET
    QML_FOREIGN(korvane::Clips)
    QML_NAMED_ELEMENT(Clips)
    QML_UNCREATABLE("the application model owns the clips")
};

struct DriveTimelineType
{
    Q_GADGET
    QML_FOREIGN(korvane::DriveTimeline)
    QML_NAMED_ELEMENT(DriveTimeline)
    QML_UNCREATABLE("the application model owns the drive timeline")
};

struct SaveFoldersType
{
    Q_GADGET
    QML_FOREIGN(korvane::SaveFolders)
    QML_NAMED_ELEMENT(SaveFolders)
    QML_UNCREATABLE("the application model owns the save folders")
};

// Each of the window's own folder choosers has one; it lists a folder once it is shown.
struct FolderBrowserType
{
    Q_GADGET
    QML_FOREIGN(korvane::FolderBrowser)
    QML_NAMED_ELEMENT(FolderBrowser)
};

} // namespace korvane::qml
