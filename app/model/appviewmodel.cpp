#include "model/appviewmodel.h"

#include "base/applog.h"
#include "base/background.h"
#include "card/diskroom.h"
#include "playback/multitrackplayer.h"
#include "model/shockmarks.h"
#include "model/workingfiles.h"

#include <QCollator>
#include <QCoroSignal>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace korvane {

const QStringList AppViewModel::typeNames = {QStringLiteral("normal"), QStringLiteral("event"),
                                             QStringLiteral("park"),   QStringLiteral("manual"),
                                             QStringLiteral("saved"),  QStringLiteral("all")};
const QStringList AppViewModel::typeTitles = {QT_TR_NOOP("상시"), QT_TR_NOOP("이벤트"),
                                              QT_TR_NOOP("주차"), QT_TR_NOOP("수동"),
                                              QT_TR_NOOP("보관"), QT_TR_NOOP("전체")};

namespace {

QVariant optionalText(const std::optional<QString> &text)
{
    return text ? QVariant(*text) : QVariant();
}

} // namespace

void sortNewestFirst(QList<FileListItem> &rows)
{
    // Each row's date read and its sort key made once, not at every comparison: a card holds
    // thousands of recordings.
    QCollator collator;
    std::vector<std::pair<QCollatorSortKey, qsizetype>> keys;
    keys.reserve(static_cast<size_t>(rows.size()));
    for (qsizetype i = 0; i < rows.size(); ++i)
        keys.emplace_back(collator.sortKey(rows[i].dateText()), i);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto &a, const auto &b) { return b.first.compare(a.first) < 0; });
    QList<FileListItem> sorted;
    sorted.reserve(rows.size());
    for (const auto &key : keys)
        sorted.append(std::move(rows[key.second]));
    rows = std::move(sorted);
}

AppViewModel::AppViewModel(QObject *parent) : AppViewModel(PlaybackOutput{}, parent) {}

AppViewModel::AppViewModel(const PlaybackOutput &output, QObject *parent)
    : QObject(parent), m_player(std::make_unique<MultiTrackPlayer>(output))
{
    // With the list newest first, the row above is the recording made next. Its open starts at
    // once, as the end is signalled, with the player already Ended: it changes nothing of the
    // player before its first wait.
    connect(m_player.get(), &MultiTrackPlayer::ended, this, &AppViewModel::openPrevious,
            Qt::DirectConnection);
    connect(m_player.get(), &MultiTrackPlayer::currentTimeChanged, this,
            &AppViewModel::speedTextChanged);
    connect(&m_mediaData, &MediaDataViewModel::idChanged, this, &AppViewModel::speedTextChanged);
    connect(&m_procManager, &ProcessManager::activeChannelCountChanged, this,
            &AppViewModel::activeChannelCountChanged);
    connect(&m_procManager, &ProcessManager::setupProblemChanged, this,
            &AppViewModel::setupProblemChanged);
    connect(m_player.get(), &MultiTrackPlayer::currentTimeChanged, this,
            &AppViewModel::clockTextChanged);
    connect(m_player.get(), &MultiTrackPlayer::durationChanged, this,
            &AppViewModel::clockTextChanged);
    connect(m_player.get(), &MultiTrackPlayer::durationChanged, this,
            &AppViewModel::updateShockMarks);
    // A recording without GPS fixes keeps its data's stamp: the marks follow the arrival too.
    connect(this, &AppViewModel::metadataArrived, this, &AppViewModel::updateShockMarks);
    connect(&m_mediaData, &MediaDataViewModel::idChanged, this, &AppViewModel::updateShockMarks);
    for (const auto changed : {&AppViewModel::videoPlayersChanged, &AppViewModel::videoModeChanged,
                               &AppViewModel::videoChannelChanged})
        connect(this, changed, this, &AppViewModel::layoutChanged);
    for (const auto changed :
         {&AppViewModel::videoPlayersChanged, &AppViewModel::selectedIndexChanged})
        connect(this, changed, this, &AppViewModel::openTitleChanged);
    for (const auto changed :
         {&AppViewModel::hasCardChanged, &AppViewModel::alertMessageChanged,
          &AppViewModel::procMessageChanged, &AppViewModel::downloadMessageChanged})
        connect(this, changed, this, &AppViewModel::overlayChanged);
    // A recording opened or closed: marks of the one before mean nothing on it.
    connect(m_player.get(), &MultiTrackPlayer::videoPlayersChanged, this,
            &AppViewModel::clearClipMarks);
}

AppViewModel::~AppViewModel() = default;

// The published fields.

void AppViewModel::setIsAutoLoad(bool on)
{
    if (m_isAutoLoad != on) {
        m_isAutoLoad = on;
        emit isAutoLoadChanged();
    }
}

void AppViewModel::setIsAlerting(bool on)
{
    if (m_isAlerting != on) {
        m_isAlerting = on;
        emit isAlertingChanged();
    }
}

void AppViewModel::setVideoMode(int mode)
{
    if (m_videoMode != mode) {
        m_videoMode = mode;
        emit videoModeChanged();
    }
}

void AppViewModel::setVideoChannel(int channel)
{
    if (m_videoChannel != channel) {
        m_videoChannel = channel;
        emit videoChannelChanged();
    }
}

void AppViewModel::setPreviousChannels(int count)
{
    if (m_previousChannels != count) {
        m_previousChannels = count;
        emit previousChannelsChanged();
    }
}

void AppViewModel::setProcMessage(const std::optional<QString> &message)
{
    if (m_procMessage != message) {
        m_procMessage = message;
        emit procMessageChanged();
    }
}

void AppViewModel::setAlertMessage(const std::optional<QString> &message)
{
    if (m_alertMessage != message) {
        m_alertMessage = message;
        emit alertMessageChanged();
    }
}

void AppViewModel::setDownloadMessage(const std::optional<QString> &message)
{
    if (m_downloadMessage != message) {
        m_downloadMessage = message;
        emit downloadMessageChanged();
    }
}

void AppViewModel::setUploaded(bool on)
{
    if (m_uploaded != on) {
        m_uploaded = on;
        emit uploadedChanged();
    }
}

void AppViewModel::setSelectedTab(int tab)
{
    if (m_selectedTab != tab) {
        m_selectedTab = tab;
        emit selectedTabChanged();
    }
}

void AppViewModel::setIsAllChecked(bool on)
{
    if (m_isAllChecked != on) {
        m_isAllChecked = on;
        emit isAllCheckedChanged();
    }
}

void AppViewModel::setSelectedIndex(std::optional<qsizetype> index)
{
    if (m_selectedIndex != index) {
        m_selectedIndex = index;
        emit selectedIndexChanged();
    }
}

void AppViewModel::setIsSelecting(bool on)
{
    if (m_isSelecting != on) {
        m_isSelecting = on;
        emit isSelectingChanged();
    }
}

void AppViewModel::setIsLoading(bool on)
{
    if (m_isLoading != on) {
        m_isLoading = on;
        emit isLoadingChanged();
    }
}

void AppViewModel::setIsDownloading(bool on)
{
    if (m_isDownloading != on) {
        m_isDownloading = on;
        emit isDownloadingChanged();
    }
}

QVariant AppViewModel::procMessageValue() const
{
    return optionalText(m_procMessage);
}

QVariant AppViewModel::alertMessageValue() const
{
    return optionalText(m_alertMessage);
}

QVariant AppViewModel::downloadMessageValue() const
{
    return optionalText(m_downloadMessage);
}

int AppViewModel::selectedIndexValue() const
{
    return m_selectedIndex ? static_cast<int>(*m_selectedIndex) : -1;
}

QList<QObject *> AppViewModel::videoPlayerObjects() const
{
    return {m_videoPlayers.begin(), m_videoPlayers.end()};
}

QString AppViewModel::currentType() const
{
    if (m_selectedTab >= 0 && m_selectedTab < typeNames.size())
        return typeNames[m_selectedTab];
    return typeNames.first();
}

QList<FileListItem> AppViewModel::checkedItems() const
{
    QList<FileListItem> checked;
    for (const FileListItem &row : m_filtered.rows()) {
        if (row.isChecked)
            checked.append(row);
    }
    return checked;
}

QString AppViewModel::localCopy(const FileListItem &item)
{
    if (item.fromComputer)
        return ProcessManager::tempRoot() + QStringLiteral("work/picked/") + item.type +
               QLatin1Char('/') + item.name;
    return ProcessManager::tempRoot() + item.cardPath();
}

bool AppViewModel::hasOwnCopy(const FileListItem &item) const
{
    return m_procManager.isOwnCopy(localCopy(item)) && fileBytes(localCopy(item)) != 0;
}

// The list.

void AppViewModel::setFileList(const QList<FileListItem> &list)
{
    m_fileList = list;
    emit fileListChanged();
}

QCoro::Task<> AppViewModel::reloadList()
{
    QPointer<AppViewModel> self(this);
    const quint64 card = m_cardGeneration;
    const quint64 reload = ++m_reloadGeneration;
    setSelectedTab(0);
    setIsAllChecked(false);
    // The card load sets the working copies aside: an open under way must finish first, and
    // none may start until the new list is there.
    m_isReloading = true;
    cancelLoading();
    while (m_isSelecting) {
        co_await qCoro(this, &AppViewModel::isSelectingChanged);
        if (!self)
            co_return;
    }
    QList<FileListItem> recordings = co_await m_procManager.loadCardFiles();
    // A later load of the list, or the card leaving, supersedes this one.
    if (!self || reload != m_reloadGeneration)
        co_return;
    m_isReloading = false;
    if (card != m_cardGeneration)
        co_return;
    // A card of which nothing could be read says why (UDisks2 or polkit refused it, it holds no
    // file system Korvane knows), rather than passing for a card without recordings.
    if (recordings.isEmpty() && m_procManager.bbox().isEmpty() &&
        !m_procManager.cardProblem().isEmpty())
        setAlertMessage(tr("SD 카드를 읽지 못했습니다. %1").arg(m_procManager.cardProblem()));
    sortNewestFirst(recordings);
    setFileList(recordings);
    const QString type = currentType();
    co_await applyFilter(type);
    if (self && m_isAutoLoad && card == m_cardGeneration)
        startLoading();
}

QCoro::Task<> AppViewModel::applyFilter(QString type)
{
    QPointer<AppViewModel> self(this);
    const quint64 generation = ++m_filterGeneration;
    QCoro::Task<QList<FileListItem>> filtering = inBackground([rows = m_fileList, type]() mutable {
        // The list is kept newest first, and filtering keeps its order.
        if (type != u"all")
            rows.removeIf([&](const FileListItem &row) { return row.type != type; });
        return rows;
    });
    const QList<FileListItem> rows = co_await filtering;
    // A later filter, or a list picked meanwhile, wins.
    if (!self || generation != m_filterGeneration)
        co_return;
    publishRows(rows);
}

void AppViewModel::publishRows(QList<FileListItem> rows)
{
    std::optional<qsizetype> selected;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        rows[i].isSelected = !m_selectedId.isNull() && rows[i].id == m_selectedId;
        if (rows[i].isSelected)
            selected = i;
    }
    m_filtered.setRows(rows);
    setSelectedIndex(selected);
}

void AppViewModel::checkAll(bool value)
{
    setIsAllChecked(value);
    m_filtered.updateRows(
        [&](qsizetype, FileListItem &row) { return std::exchange(row.isChecked, value) != value; });
}

void AppViewModel::setChecked(int row, bool value)
{
    if (row < 0 || row >= m_filtered.count())
        return;
    FileListItem item = m_filtered.rows()[row];
    item.isChecked = value;
    m_filtered.updateRow(item);
}

void AppViewModel::selectTab(int index)
{
    if (index == m_selectedTab)
        return;
    setSelectedTab(index);
    applyFilter(currentType());
    setUploaded(false);
}

QCoro::Task<> AppViewModel::selectAt(qsizetype index)
{
    if (index < 0 || index >= m_filtered.count())
        co_return;
    co_await select(m_filtered.rows()[index]);
}

QCoro::Task<> AppViewModel::selectNext()
{
    if (m_selectedIndex && *m_selectedIndex < m_filtered.count() - 1)
        co_await selectAt(*m_selectedIndex + 1);
}

QCoro::Task<> AppViewModel::selectPrevious()
{
    if (m_selectedIndex && *m_selectedIndex > 0)
        co_await selectAt(*m_selectedIndex - 1);
}

void AppViewModel::reload()
{
    reloadList();
}

void AppViewModel::open(int row)
{
    if (row >= 0 && row < m_filtered.count())
        select(m_filtered.rows()[row]);
}

void AppViewModel::openNext()
{
    selectNext();
}

void AppViewModel::openPrevious()
{
    selectPrevious();
}

void AppViewModel::openFiles(const QList<QUrl> &urls)
{
    QPointer<AppViewModel> self(this);
    [](QPointer<AppViewModel> model, QList<QUrl> picked) -> QCoro::Task<> {
        co_await model->openLocalFiles(picked);
        if (model)
            model->setUploaded(true);
    }(self, urls);
}

QCoro::Task<> AppViewModel::openLocalFiles(QList<QUrl> urls)
{
    QPointer<AppViewModel> self(this);
    setUploaded(true);
    setSelectedTab(-1);
    ++m_filterGeneration; // a filter still running must not replace the picked files
    publishRows({});
    // Copies of the files picked before go: only the rows shown now have copies.
    ProcessManager::removeInBackground({QStringLiteral("work/picked")});
    QList<FileListItem> picked;
    for (const QUrl &url : urls) {
        FileListItem row;
        row.id = QUuid::createUuid();
        row.type = typeFromPath(url.path());
        row.name = QFileInfo(url.path()).fileName();
        row.fromComputer = true;
        const QString copy = localCopy(row);
        const QString folder = ProcessManager::workFolder(QStringLiteral("picked/") + row.type);
        const QString source = url.toLocalFile();
        if (!folder.isEmpty())
            co_await ProcessManager::copyFile(source, copy);
        if (!self)
            co_return;
        m_procManager.recordCopy(copy);
        row.size = row.read = static_cast<qint64>(ProcessManager::fileSize(copy, false));
        picked.append(row);
    }
    sortNewestFirst(picked);
    publishRows(picked);
}

// Background copying of the card into the working folder.

void AppViewModel::startLoading()
{
    // A new generation: the running task stops before its next row.
    copyInBackground(++m_copyGeneration);
}

void AppViewModel::cancelLoading()
{
    if (!m_isLoading)
        return;
    appLog("[AppViewModel] loading canceled");
    ++m_copyGeneration;
    setIsLoading(false);
}

bool AppViewModel::roomToCopy(qint64 size)
{
    return leavesRoom(ProcessManager::tempRoot(), size);
}

QCoro::Task<> AppViewModel::copyInBackground(quint64 generation)
{
    QPointer<AppViewModel> self(this);
    setIsLoading(true);
    // By id, not position: the list may be rebuilt while rows are copied.
    QList<QUuid> ids;
    for (const FileListItem &row : std::as_const(m_fileList))
        ids.append(row.id);
    for (const QUuid &id : ids) {
        if (!self || generation != m_copyGeneration)
            co_return;
        const auto row = std::find_if(m_fileList.cbegin(), m_fileList.cend(),
                                      [&](const FileListItem &r) { return r.id == id; });
        if (row == m_fileList.cend() || row->read != 0)
            continue;
        if (!roomToCopy(row->size)) {
            appLog("[AppViewModel] loading stopped: copying", row->name,
                   "would leave too little room in", ProcessManager::tempRoot());
            setIsLoading(false);
            co_return;
        }
        const FileListItem item = *row;
        const QString cardPath = item.cardPath();
        // The list shows how far the copy of this row has come.
        QTimer progress;
        progress.setInterval(250);
        connect(&progress, &QTimer::timeout, this,
                [this, item, total = std::max<qint64>(item.size, 1)] {
                    const double done = static_cast<double>(copiedBytes(localCopy(item)));
                    m_filtered.setCopying(item.id,
                                          std::min(1.0, done / static_cast<double>(total)));
                });
        m_filtered.setCopying(item.id, 0);
        progress.start();
        co_await m_procManager.readCardFile(cardPath);
        if (!self)
            co_return;
        progress.stop();
        // A newer copying task may have marked its own row meanwhile.
        if (m_filtered.copyingId() == item.id)
            m_filtered.setCopying({}, 0);
        // Copied is copied, even when the copying was called off meanwhile.
        markCopied(item);
    }
    setIsLoading(false);
    appLog("[AppViewModel] loading completed");
}

void AppViewModel::markCopied(const FileListItem &item)
{
    const QUuid id = item.id;
    const qint64 read = hasOwnCopy(item) ? fileBytes(localCopy(item)) : 0;
    for (FileListItem &row : m_fileList) {
        if (row.id == id)
            row.read = read;
    }
    if (const auto at = m_filtered.indexOf(id)) {
        FileListItem row = m_filtered.rows()[*at];
        row.read = read;
        m_filtered.updateRow(row);
    }
}

// Player screen operations.

QString AppViewModel::speedText() const
{
    if (m_videoPlayers.isEmpty())
        return QStringLiteral("0 km/h");
    const std::optional<GPSInfo> fix = m_mediaData.gpsAt(m_player->currentTime());
    const double speed = fix && fix->data ? fix->data->speedKmh : 0;
    return QString::number(static_cast<qint64>(std::round(speed))) + QStringLiteral(" km/h");
}

QStringList AppViewModel::tabTitles() const
{
    QStringList titles;
    for (const QString &title : typeTitles)
        titles.append(tr(title.toUtf8().constData()));
    return titles;
}

void AppViewModel::pauseForSettings()
{
    if (m_player->isPlaying())
        m_player->pause();
}

SettingsViewModel *AppViewModel::newSettings(QObject *window)
{
    return new SettingsViewModel(m_procManager, window);
}

void AppViewModel::settingsClosed()
{
    appLog("[SettingsWindow] windowWillClose");
}

void AppViewModel::toggleMagnifier()
{
    if (m_videoMode == 0) {
        setAlertMessage(tr("화면 확대는 비디오 채널 별로 가능합니다."));
        return;
    }
    m_showMagnifier = !m_showMagnifier;
    emit showMagnifierChanged();
}

void AppViewModel::exportText(const QString &name, const QString &text, const QString &saved)
{
    if (m_videoPlayers.isEmpty())
        return;
    setAlertMessage(m_procManager.saveToSDCard(name, text) ? saved
                                                           : tr("SD 카드에 저장하지 못했습니다."));
}

void AppViewModel::exportLocation()
{
    exportText(QStringLiteral("location.txt"), m_mediaData.locationText(),
               tr("GPS 데이터(location.txt)를 SD 카드에 저장했습니다."));
}

void AppViewModel::exportGSensor()
{
    exportText(QStringLiteral("gsensor.txt"), m_mediaData.gSensorText(),
               tr("G-Sensor 데이터(gsensor.txt)를 SD 카드에 저장했습니다."));
}

void AppViewModel::updateShockMarks()
{
    QList<double> marks;
    const double duration = m_player->duration();
    for (const double time : findShocks(m_mediaData.gSensorEvents(), shockThreshold())) {
        if (duration > 0 && time <= duration)
            marks.append(time / duration);
    }
    if (marks != m_shockMarks) {
        m_shockMarks = marks;
        emit shockMarksChanged();
    }
}

void AppViewModel::seekToShock(int index)
{
    const double duration = m_player->duration();
    if (index < 0 || index >= m_shockMarks.size() || duration <= 0)
        return;
    const double time = m_shockMarks[index] * duration;
    m_player->seek(std::max(0.0, time - shockLeadIn) / duration);
}

void AppViewModel::nextChannelChoice()
{
    m_channelChoice = (m_channelChoice + 1) % (activeChannelCount() + 1);
    emit channelChoiceChanged();
}

QString AppViewModel::channelChoiceLabel() const
{
    return m_channelChoice == 0 ? QStringLiteral("CH All")
                                : QStringLiteral("CH%1").arg(m_channelChoice);
}

} // namespace korvane
