#pragma once

#include "card/processmanager.h"
#include "model/cardsession.h"
#include "model/clips.h"
#include "model/downloads.h"
#include "model/driveroute.h"
#include "model/drivetimeline.h"
#include "model/gsensorgraph.h"
#include "model/mapposition.h"
#include "model/notifications.h"
#include "model/nowplaying.h"
#include "model/playercontrols.h"
#include "model/recordinglibrary.h"
#include "model/recordingopener.h"
#include "model/savefolders.h"
#include "model/screenlayout.h"
#include "model/settingsviewmodel.h"
#include "playback/multitrackplayer.h"
#include "services/mediadataviewmodel.h"

#include <QObject>

#include <memory>

namespace korvane {

// The viewer's one long-lived model: it owns the card access, the player and the controllers of
// each feature, and hands them to the views. Main thread only; everything a view shows is a
// property of one of the controllers.
class AppViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(korvane::CardSession *session READ session CONSTANT)
    Q_PROPERTY(korvane::Notifications *notifications READ notifications CONSTANT)
    Q_PROPERTY(korvane::RecordingLibrary *library READ library CONSTANT)
    Q_PROPERTY(korvane::RecordingOpener *opener READ opener CONSTANT)
    Q_PROPERTY(korvane::NowPlaying *nowPlaying READ nowPlaying CONSTANT)
    Q_PROPERTY(korvane::ScreenLayout *layout READ layout CONSTANT)
    Q_PROPERTY(korvane::Downloads *downloads READ downloads CONSTANT)
    Q_PROPERTY(korvane::Clips *clips READ clips CONSTANT)
    Q_PROPERTY(korvane::DriveTimeline *timeline READ timeline CONSTANT)
    Q_PROPERTY(korvane::MultiTrackPlayer *playerManager READ playerManager CONSTANT)
    Q_PROPERTY(korvane::MediaDataViewModel *mediaData READ mediaData CONSTANT)
    Q_PROPERTY(korvane::PlayerControls *controls READ controls CONSTANT)
    Q_PROPERTY(korvane::GSensorGraph *gSensorGraph READ gSensorGraph CONSTANT)
    Q_PROPERTY(korvane::MapPosition *mapPosition READ mapPosition CONSTANT)
    Q_PROPERTY(korvane::SaveFolders *saveFolders READ saveFolders CONSTANT)

public:
    explicit AppViewModel(QObject *parent = nullptr);
    // With the player's output chosen (tests and benchmarks play sound into a null sink).
    AppViewModel(const PlaybackOutput &output, QObject *parent = nullptr);
    ~AppViewModel() override;

    ProcessManager &procManager() { return m_procManager; }
    CardSession *session() { return &m_session; }
    Notifications *notifications() { return &m_notifications; }
    RecordingLibrary *library() { return &m_library; }
    RecordingOpener *opener() { return &m_opener; }
    NowPlaying *nowPlaying() { return &m_nowPlaying; }
    ScreenLayout *layout() { return &m_layout; }
    Downloads *downloads() { return &m_downloads; }
    Clips *clips() { return &m_clips; }
    DriveTimeline *timeline() { return &m_timeline; }
    DriveRoute *driveRoute() { return &m_driveRoute; }
    MultiTrackPlayer *playerManager() const { return m_player.get(); }
    MediaDataViewModel *mediaData() { return &m_mediaData; }
    PlayerControls *controls() { return &m_controls; }
    GSensorGraph *gSensorGraph() { return &m_gSensorGraph; }
    MapPosition *mapPosition() { return &m_mapPosition; }
    SaveFolders *saveFolders() { return &m_saveFolders; }

    // The settings button: playback pauses before the settings window comes up.
    Q_INVOKABLE void pauseForSettings();
    // A settings model for a new settings window, owned by `window`.
    Q_INVOKABLE korvane::SettingsViewModel *newSettings(QObject *window);
    Q_INVOKABLE void settingsClosed();
    // The settings were written to the card: the dashcam takes them at its next start.
    Q_INVOKABLE void settingsSaved();

private:
    ProcessManager m_procManager;
    std::unique_ptr<MultiTrackPlayer> m_player;
    MediaDataViewModel m_mediaData;
    PlayerControls m_controls{m_player.get()};
    GSensorGraph m_gSensorGraph{m_player.get(), &m_mediaData};
    MapPosition m_mapPosition{m_player.get(), &m_mediaData};
    SaveFolders m_saveFolders;
    // The controllers, each built on those before it.
    Notifications m_notifications;
    CardSession m_session{m_procManager, &m_notifications};
    RecordingLibrary m_library{m_procManager, &m_session, &m_notifications};
    NowPlaying m_nowPlaying{m_procManager, m_player.get(), &m_mediaData, &m_session,
                            &m_notifications};
    ScreenLayout m_layout{&m_nowPlaying, &m_session};
    RecordingOpener m_opener{{m_procManager, m_player.get(), &m_mediaData, &m_session,
                              &m_notifications, &m_library, &m_nowPlaying, &m_layout}};
    Downloads m_downloads{m_procManager, &m_session, &m_library, &m_nowPlaying, &m_notifications};
    DriveTimeline m_timeline{{&m_session, &m_library, &m_opener, &m_nowPlaying, m_player.get()}};
    DriveRoute m_driveRoute{&m_timeline, &m_nowPlaying, &m_mapPosition};
    Clips m_clips{{m_procManager, m_player.get(), &m_mediaData, &m_nowPlaying, &m_downloads,
                   &m_notifications, &m_timeline}};
};

} // namespace korvane
