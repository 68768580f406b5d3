#pragma once

#include "card/clipexport.h"
#include "records/filelistitem.h"
#include "model/gsensorgraph.h"
#include "model/mapposition.h"
#include "model/mediadataviewmodel.h"
#include "records/metadataextraction.h"
#include "playback/multitrackplayer.h"
#include "model/playercontrols.h"
#include "card/processmanager.h"
#include "model/recordinglistmodel.h"
#include "model/settingsviewmodel.h"

#include <QCoroTask>
#include <QObject>
#include <QUrl>
#include <QVariant>

#include <memory>
#include <optional>

namespace korvane {

class SDManager;

// The viewer's one long-lived model: the card's recordings and the rows the list shows, the
// selection, opening a recording into the player, the background copying from the card and the
// downloads. Main thread only; everything a view shows is a property here.
class AppViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isAutoLoad READ isAutoLoad WRITE setIsAutoLoad NOTIFY isAutoLoadChanged)
    Q_PROPERTY(korvane::RecordingListModel *filtered READ filteredModel CONSTANT)
    Q_PROPERTY(int recordingCount READ recordingCount NOTIFY fileListChanged)
    Q_PROPERTY(bool isFullScreen READ isFullScreen WRITE setIsFullScreen NOTIFY isFullScreenChanged)
    Q_PROPERTY(bool isAlerting READ isAlerting WRITE setIsAlerting NOTIFY isAlertingChanged)
    Q_PROPERTY(int videoMode READ videoMode WRITE setVideoMode NOTIFY videoModeChanged)
    Q_PROPERTY(int videoChannel READ videoChannel WRITE setVideoChannel NOTIFY videoChannelChanged)
    Q_PROPERTY(int previousChannels READ previousChannels NOTIFY previousChannelsChanged)
    Q_PROPERTY(bool showMagnifier READ showMagnifier NOTIFY showMagnifierChanged)
    // Optional texts: null while there is none.
    Q_PROPERTY(QVariant procMessage READ procMessageValue NOTIFY procMessageChanged)
    Q_PROPERTY(QVariant alertMessage READ alertMessageValue NOTIFY alertMessageChanged)
    // Null: no download; empty: finished; any other text: progress.
    Q_PROPERTY(QVariant downloadMessage READ downloadMessageValue NOTIFY downloadMessageChanged)
    Q_PROPERTY(bool uploaded READ uploaded WRITE setUploaded NOTIFY uploadedChanged)
    Q_PROPERTY(int selectedTab READ selectedTab NOTIFY selectedTabChanged)
    Q_PROPERTY(bool isAllChecked READ isAllChecked NOTIFY isAllCheckedChanged)
    // -1 while nothing is open.
    Q_PROPERTY(int selectedIndex READ selectedIndexValue NOTIFY selectedIndexChanged)
    Q_PROPERTY(korvane::MultiTrackPlayer *playerManager READ playerManager CONSTANT)
    Q_PROPERTY(QList<QObject *> videoPlayers READ videoPlayerObjects NOTIFY videoPlayersChanged)
    Q_PROPERTY(korvane::MediaDataViewModel *mediaData READ mediaData CONSTANT)
    Q_PROPERTY(bool isSelecting READ isSelecting NOTIFY isSelectingChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(bool isDownloading READ isDownloading NOTIFY isDownloadingChanged)
    Q_PROPERTY(QStringList types READ types CONSTANT)
    Q_PROPERTY(QStringList tabTitles READ tabTitles CONSTANT)
    Q_PROPERTY(QString speedText READ speedText NOTIFY speedTextChanged)
    Q_PROPERTY(int activeChannelCount READ activeChannelCount NOTIFY activeChannelCountChanged)
    // 0: all channels; N: camera channel N. The download saves what it names.
    Q_PROPERTY(int channelChoice READ channelChoice NOTIFY channelChoiceChanged)
    Q_PROPERTY(QString channelChoiceLabel READ channelChoiceLabel NOTIFY channelChoiceChanged)
    Q_PROPERTY(korvane::PlayerControls *controls READ controls CONSTANT)
    Q_PROPERTY(korvane::GSensorGraph *gSensorGraph READ gSensorGraph CONSTANT)
    Q_PROPERTY(korvane::MapPosition *mapPosition READ mapPosition CONSTANT)

    // The window: start-up, the card, what covers the screen, the fifth channel's own window.
    // "Korvane 0.1.0 (1)": the name, version and build of this viewer.
    Q_PROPERTY(QString windowTitle READ windowTitle CONSTANT)
    Q_PROPERTY(bool isInitialized READ isInitialized NOTIFY isInitializedChanged)
    Q_PROPERTY(bool hasCard READ hasCard NOTIFY hasCardChanged)
    // What covers the player screen: "setupFailed", "noCard", "alert", "progress", "download"
    // or "".
    Q_PROPERTY(QString overlay READ overlay NOTIFY overlayChanged)
    // Why the viewer cannot read cards (a tool missing, a folder refused), in words for the
    // user; empty while nothing stands in the way.
    Q_PROPERTY(QString setupProblem READ setupProblem NOTIFY setupProblemChanged)
    Q_PROPERTY(bool isPopupOpen READ isPopupOpen NOTIFY isPopupOpenChanged)
    // The video area's layout tabs and the side panel's picker, with the entry chosen in each.
    Q_PROPERTY(QStringList layoutTabs READ layoutTabs NOTIFY layoutChanged)
    Q_PROPERTY(int layoutTabIndex READ layoutTabIndex NOTIFY layoutChanged)
    Q_PROPERTY(QStringList sideTabs READ sideTabs NOTIFY layoutChanged)
    Q_PROPERTY(int sideTabIndex READ sideTabIndex NOTIFY layoutChanged)
    // The open recording's date and type ("2024/10/05 14:30:12 · 상시"), empty while none is.
    Q_PROPERTY(QString openTitle READ openTitle NOTIFY openTitleChanged)
    Q_PROPERTY(QString currentTimeText READ currentTimeText NOTIFY clockTextChanged)
    Q_PROPERTY(QString durationText READ durationText NOTIFY clockTextChanged)
    // How much of the G-sensor graph's width is shown: the part of the recording played.
    Q_PROPERTY(double gSensorShownShare READ gSensorShownShare NOTIFY clockTextChanged)
    // The open recording's shocks as points of the seek bar (0 to 1), ascending.
    Q_PROPERTY(QList<double> shockMarks READ shockMarks NOTIFY shockMarksChanged)

public:
    static const QStringList typeNames;
    static const QStringList typeTitles;

    explicit AppViewModel(QObject *parent = nullptr);
    // With the player's output chosen (tests and benchmarks play sound into a null sink).
    AppViewModel(const PlaybackOutput &output, QObject *parent = nullptr);
    ~AppViewModel() override;

    ProcessManager &procManager() { return m_procManager; }
    MultiTrackPlayer *playerManager() const { return m_player.get(); }
    MediaDataViewModel *mediaData() { return &m_mediaData; }
    PlayerControls *controls() { return &m_controls; }
    GSensorGraph *gSensorGraph() { return &m_gSensorGraph; }
    MapPosition *mapPosition() { return &m_mapPosition; }
    RecordingListModel *filteredModel() { return &m_filtered; }

    bool isAutoLoad() const { return m_isAutoLoad; }
    void setIsAutoLoad(bool on);
    const QList<FileListItem> &fileList() const { return m_fileList; }
    int recordingCount() const { return static_cast<int>(m_fileList.size()); }
    const QList<FileListItem> &filtered() const { return m_filtered.rows(); }
    bool isFullScreen() const { return m_isFullScreen; }
    void setIsFullScreen(bool on);
    bool isAlerting() const { return m_isAlerting; }
    void setIsAlerting(bool on);
    int videoMode() const { return m_videoMode; }
    void setVideoMode(int mode);
    int videoChannel() const { return m_videoChannel; }
    void setVideoChannel(int channel);
    int previousChannels() const { return m_previousChannels; }
    bool showMagnifier() const { return m_showMagnifier; }
    const std::optional<QString> &procMessage() const { return m_procMessage; }
    const std::optional<QString> &alertMessage() const { return m_alertMessage; }
    void setAlertMessage(const std::optional<QString> &message);
    const std::optional<QString> &downloadMessage() const { return m_downloadMessage; }
    void setDownloadMessage(const std::optional<QString> &message);
    bool uploaded() const { return m_uploaded; }
    void setUploaded(bool on);
    int selectedTab() const { return m_selectedTab; }
    bool isAllChecked() const { return m_isAllChecked; }
    std::optional<qsizetype> selectedIndex() const { return m_selectedIndex; }
    QList<ChannelPlayer *> videoPlayers() const { return m_videoPlayers; }
    bool isSelecting() const { return m_isSelecting; }
    bool isLoading() const { return m_isLoading; }
    bool isDownloading() const { return m_isDownloading; }
    QStringList types() const { return typeNames; }
    // The type tabs' titles in the window's language.
    QStringList tabTitles() const;
    QString speedText() const;
    int activeChannelCount() const { return m_procManager.activeChannelCount(); }
    int channelChoice() const { return m_channelChoice; }
    QString channelChoiceLabel() const;
    static QString windowTitle();
    bool isInitialized() const { return m_isInitialized; }
    QString setupProblem() const { return m_procManager.setupProblem(); }
    bool hasCard() const { return m_hasCard; }
    QString overlay() const;
    bool isPopupOpen() const { return m_isPopupOpen; }
    QStringList layoutTabs() const;
    int layoutTabIndex() const;
    QStringList sideTabs() const;
    int sideTabIndex() const;
    QString openTitle() const;
    QString currentTimeText() const { return clockText(m_player->currentTime()); }
    QString durationText() const { return clockText(m_player->duration()); }
    double gSensorShownShare() const
    {
        return shownShare(m_player->currentTime(), m_player->duration());
    }
    // "HH:MM:SS" of the whole seconds; "00:00:00" for a time that is not finite.
    static QString clockText(double seconds);
    // The clock text of a point of the seek bar (0 to 1), for the time under a dragged handle.
    Q_INVOKABLE QString timeTextAt(double fraction) const
    {
        return clockText(fraction * m_player->duration());
    }
    // The entry of `types` at `selectedTab`, or the first one while no tab is chosen.
    QString currentType() const;
    // The rows of `filtered` ticked for download, in list order.
    QList<FileListItem> checkedItems() const;
    // The working folder's copy of a row.
    static QString localCopy(const FileListItem &item);
    // Whether the working folder holds the copy Korvane made of the row (from the card, or of
    // the file the user picked), unchanged: only such a copy is played or saved as the row.
    bool hasOwnCopy(const FileListItem &item) const;

    // The list: reading the card, tabs, ticks and selection.
    QCoro::Task<> reloadList();
    Q_INVOKABLE void startLoading();
    Q_INVOKABLE void cancelLoading();
    Q_INVOKABLE void checkAll(bool value);
    Q_INVOKABLE void setChecked(int row, bool value);
    Q_INVOKABLE void selectTab(int index);
    QCoro::Task<> selectAt(qsizetype index);
    QCoro::Task<> selectNext();
    QCoro::Task<> selectPrevious();
    QCoro::Task<> openLocalFiles(QList<QUrl> urls);
    // For views: the same operations, started and left to run.
    Q_INVOKABLE void reload();
    Q_INVOKABLE void open(int row);
    Q_INVOKABLE void openNext();
    Q_INVOKABLE void openPrevious();
    Q_INVOKABLE void openFiles(const QList<QUrl> &urls);

    // Opening a recording into the player.
    QCoro::Task<> select(FileListItem item);
    // A recording whose open failed because the card cannot read it whole: the question
    // whether to play what can be read ("" while there is none), and the answer.
    Q_PROPERTY(QString salvageQuestion READ salvageQuestion NOTIFY salvageQuestionChanged)
    QString salvageQuestion() const;
    Q_INVOKABLE void answerSalvage(bool yes);
    // What can be read of a damaged recording, played; the alert says how much was lost.
    QCoro::Task<> salvageAndOpen(FileListItem item);
    QCoro::Task<bool> recover(QString source, QString destination);
    QCoro::Task<bool> loadMp4(QString path);
    static QCoro::Task<int> getAudioCount(QString path);
    static QCoro::Task<int> getVideoCount(QString path);
    void getMp4Data(const MediaRecords &records);
    QCoro::Task<> prefetchPrevious(qsizetype index);
    // Waits until the metadata of the open recording has reached `mediaData`.
    QCoro::Task<> metadataLoaded();

    // Downloads: whole recordings or one channel into a folder, under the names the card gives
    // them (savedFileName), never replacing a file there: a taken name gives way to the next free
    // one. A recording that is not saved leaves nothing in the folder.
    enum class Saved
    {
        yes,
        noSuchChannel,
        failed,
        noRoom,    // the working folder's disk is too full to copy it from the card
        cardLeft,  // the card was taken out while it was read
        notRebuilt // an unfinished recording saved as the card holds it, but not rebuilt
    };
    struct RowDownload
    {
        Saved saved = Saved::failed;
        QString path;      // where it is (the one that plays), or would have been
        QStringList files; // every file saved for it
        QString problem;   // why it is not (all) saved, for the log and the command line
    };
    // A row whole into `folder`; an unfinished recording as the card holds it and rebuilt.
    QCoro::Task<RowDownload> download(FileListItem item, QString folder);
    // One row of a download into `folder` with a channel choice (0: all channels).
    QCoro::Task<RowDownload> downloadRow(FileListItem item, QString folder, int choice);
    // Camera `channel` (from 0) of a row with its sound into `folder`, as "<name>_CH<n>.mp4".
    QCoro::Task<RowDownload> downloadChannel(FileListItem item, QString folder, int channel);
    // The ticked rows, or the open recording when none is ticked, into `folder`.
    QCoro::Task<> downloadChecked(QString folder);
    // The rows, in order, that fit into `folder` by the sizes the card claims for them, with
    // the room Korvane keeps free on every disk left over; a row that does not fit is passed
    // over.
    static QList<FileListItem> rowsWithRoom(const QList<FileListItem> &rows, const QString &folder,
                                            int choice);
    // Whether the download button has something to save (ticked rows, or the open recording)
    // while no download runs; when there is nothing, the alert says what to tick.
    Q_INVOKABLE bool readyToDownload();
    Q_INVOKABLE void startDownload(const QUrl &folder);
    Q_INVOKABLE void nextChannelChoice();
    Q_INVOKABLE void closeDownload() { setDownloadMessage(std::nullopt); }
    Q_INVOKABLE void closeAlert() { setAlertMessage(std::nullopt); }

    // Evidence clips: the span of the open recording between two marks on the player's time
    // axis, saved into a folder as one MP4 (every camera, or the camera of `channelChoice`, with
    // the sound), copied as recorded or with the date, time, speed and position burned in. The
    // save shows its progress in `downloadMessage` like a download; closing it cancels the clip,
    // and nothing is left at the destination. The route can be saved as GPX beside it.
    // The marks in seconds of the player's time axis, -1 while unset.
    Q_PROPERTY(double clipFrom READ clipFrom NOTIFY clipMarksChanged)
    Q_PROPERTY(double clipTo READ clipTo NOTIFY clipMarksChanged)
    // Whether clips get the caption; kept in the user defaults as "clipCaption".
    Q_PROPERTY(bool clipCaption READ clipCaption WRITE setClipCaption NOTIFY clipCaptionChanged)
    // A recording is open and its end mark is after its start mark.
    Q_PROPERTY(bool canExportClip READ canExportClip NOTIFY clipMarksChanged)

public:
    double clipFrom() const { return m_clipFrom; }
    double clipTo() const { return m_clipTo; }
    bool clipCaption() const;
    void setClipCaption(bool on);
    bool canExportClip() const;
    // Each mark takes the player's current time and is kept where it is put: a start at or after
    // the end clears the end, an end at or before the start clears the start, and the user marks
    // the other one again. Both are cleared when another recording opens or the player closes
    // its recording.
    Q_INVOKABLE void markClipStart();
    Q_INVOKABLE void markClipEnd();
    Q_INVOKABLE void clearClipMarks();
    // The clip's file name: the recording's base name and the marks' minutes and seconds, with
    // the camera for one channel ("20241005_143512_E_clip_00m12s-00m30s_CH2.mp4").
    QString clipFileName(int choice) const;
    // Saves the clip into `folder`; its result names where it is, or would have been.
    QCoro::Task<ClipResult> exportClipInto(QString folder);
    Q_INVOKABLE void exportClip(const QUrl &folder);
    // The open recording's GPS route as "<recording base name>.gpx" in `folder`; false (with an
    // alert) when it is not saved.
    QCoro::Task<bool> exportGpxInto(QString folder);
    Q_INVOKABLE void exportGpx(const QUrl &folder);

signals:
    void clipMarksChanged();
    void clipCaptionChanged();

public:
    // The window's life: the tools made ready, then the card watched; a card image given instead
    // is shown as the inserted card, with a folder standing in for its FAT volume.
    Q_INVOKABLE void start(korvane::SDManager *monitor, const QString &cardImage = {},
                           const QString &cardVolume = {});
    QCoro::Task<bool> startUp(SDManager *monitor);
    void cardAttached(const QString &rawDevicePath);
    void cardDetached();
    // The window closes: playback and copying stop.
    Q_INVOKABLE void windowWillClose();
    // The user confirmed quitting: the working copies go too.
    Q_INVOKABLE void quitConfirmed();
    // Outside full screen only: there the fifth channel has a tab.
    Q_INVOKABLE void openPopup();
    // The fifth channel's window was closed.
    Q_INVOKABLE void popupClosed();
    // The "CH5" button: opens the fifth channel's window, or closes it when it is open.
    Q_INVOKABLE void togglePopup();
    Q_INVOKABLE void selectLayoutTab(int index);
    Q_INVOKABLE void selectSideTab(int index);

    // Player screen operations.
    Q_INVOKABLE void toggleMagnifier();
    // A snapshot of every channel of the open recording into the folder.
    Q_INVOKABLE void saveSnapshots(const QUrl &folder);
    Q_INVOKABLE void exportLocation();
    Q_INVOKABLE void exportGSensor();
    QList<double> shockMarks() const { return m_shockMarks; }
    // Plays from a little before the shock of `shockMarks` at `index`.
    Q_INVOKABLE void seekToShock(int index);

    // The settings button: playback pauses before the settings window comes up.
    Q_INVOKABLE void pauseForSettings();
    // A settings model for a new settings window, owned by `window`.
    Q_INVOKABLE korvane::SettingsViewModel *newSettings(QObject *window);
    Q_INVOKABLE void settingsClosed();

signals:
    void isAutoLoadChanged();
    void fileListChanged();
    void isFullScreenChanged();
    void isAlertingChanged();
    void videoModeChanged();
    void videoChannelChanged();
    void previousChannelsChanged();
    void showMagnifierChanged();
    void procMessageChanged();
    void alertMessageChanged();
    void downloadMessageChanged();
    void uploadedChanged();
    void selectedTabChanged();
    void isAllCheckedChanged();
    void selectedIndexChanged();
    void videoPlayersChanged();
    void isSelectingChanged();
    void isLoadingChanged();
    void isDownloadingChanged();
    void speedTextChanged();
    void activeChannelCountChanged();
    void channelChoiceChanged();
    void isInitializedChanged();
    void setupProblemChanged();
    void hasCardChanged();
    void overlayChanged();
    void isPopupOpenChanged();
    void layoutChanged();
    void openTitleChanged();
    void clockTextChanged();
    void shockMarksChanged();
    // The metadata of the recording just opened is in `mediaData` (or could not be read).
    void metadataArrived();
    void salvageQuestionChanged();

private:
    QVariant procMessageValue() const;
    QVariant alertMessageValue() const;
    QVariant downloadMessageValue() const;
    int selectedIndexValue() const;
    QList<QObject *> videoPlayerObjects() const;

    void setProcMessage(const std::optional<QString> &message);
    void setSelectedTab(int tab);
    void setIsAllChecked(bool on);
    void setSelectedIndex(std::optional<qsizetype> index);
    void setIsSelecting(bool on);
    void setIsLoading(bool on);
    void setIsDownloading(bool on);
    void setPreviousChannels(int count);
    void setHasCard(bool on);
    void setIsPopupOpen(bool open);
    void setFileList(const QList<FileListItem> &list);
    // Whether an open may start now (none runs, no card load does): then the open is marked and
    // the background copying called off.
    bool beginOpen();
    // Whether the card left since generation `card`: the open under way then ends quietly.
    bool openEndedByCard(quint64 card);
    // Makes the copy `local` of a row playable and plays it; true when it plays.
    QCoro::Task<bool> openCopy(FileListItem item, QString local, quint64 card);
    // The rows the list shows, the open recording's row marked and `selectedIndex` following it.
    void publishRows(QList<FileListItem> rows);
    // The row's `read`, here and in the rows shown, set to the size of its working copy.
    void markCopied(const FileListItem &item);
    // Filters `fileList` by a type on a worker and publishes the sorted rows here.
    QCoro::Task<> applyFilter(QString type);
    QCoro::Task<> copyInBackground(quint64 generation);
    // The ticked rows, or the open recording when none is ticked.
    QList<FileListItem> rowsToDownload() const;
    // Whether the row's own copy is in the working folder, read from the card when it is not
    // yet: yes, or why not.
    QCoro::Task<RowDownload> copiedFromCard(FileListItem item);
    // Whether copying a file of `size` bytes leaves the working folder's disk room enough.
    static bool roomToCopy(qint64 size);
    void exportText(const QString &name, const QString &text, const QString &saved);
    void updateShockMarks();

    ProcessManager m_procManager;
    std::unique_ptr<MultiTrackPlayer> m_player;
    MediaDataViewModel m_mediaData;
    PlayerControls m_controls{m_player.get()};
    GSensorGraph m_gSensorGraph{m_player.get(), &m_mediaData};
    MapPosition m_mapPosition{m_player.get(), &m_mediaData};
    RecordingListModel m_filtered;
    QList<FileListItem> m_fileList;
    QList<ChannelPlayer *> m_videoPlayers;
    QList<double> m_shockMarks;
    std::optional<QString> m_procMessage;
    std::optional<QString> m_alertMessage;
    std::optional<QString> m_downloadMessage;
    std::optional<qsizetype> m_selectedIndex;
    QUuid m_selectedId; // the open recording's row, wherever it is in the rows shown
    std::optional<FileListItem> m_openRecording; // what the player plays, shown or not
    std::optional<FileListItem> m_salvageRow;    // the damaged recording asked about
    bool m_isReloading = false;
    quint64 m_copyGeneration = 0;   // a copying task of another generation has been superseded
    quint64 m_filterGeneration = 0; // so has a filter
    quint64 m_metadataGeneration = 0;
    quint64 m_cardGeneration = 0;   // work of another generation began with a card now gone
    quint64 m_reloadGeneration = 0; // a card load of another generation was superseded
    bool m_metadataPending = false;
    int m_videoMode = 0;
    int m_videoChannel = -1;
    int m_previousChannels = 0;
    int m_selectedTab = 0;
    int m_channelChoice = 0;
    bool m_isAutoLoad = true;
    bool m_isFullScreen = false;
    bool m_isAlerting = false;
    bool m_showMagnifier = false;
    bool m_uploaded = false;
    bool m_isAllChecked = false;
    bool m_isSelecting = false;
    bool m_isLoading = false;
    bool m_isDownloading = false;
    bool m_isInitialized = false;
    bool m_setupFailed = false; // the tools could not be made ready: nothing can be read
    bool m_hasCard = false;
    bool m_isPopupOpen = false;

    // Evidence clips.
    double m_clipFrom = -1;
    double m_clipTo = -1;
    QString m_clipSource;     // the file the player opened, while it is kept (sound in AAC)
    ShellCancel m_clipCancel; // the running clip's
};

// Rows newest first by their date text, in the locale's order; equal dates keep their order.
void sortNewestFirst(QList<FileListItem> &rows);

} // namespace korvane
