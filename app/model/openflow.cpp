// Opening a recording: copied from the card when it is not yet, rebuilt with salvex or remuxed
// with ffmpeg, given AAC sound, loaded into the player, and its metadata scanned.
#include "model/appviewmodel.h"

#include "base/applog.h"
#include "records/metadataextraction.h"
#include "playback/multitrackplayer.h"
#include "model/playablefile.h"
#include "card/savedfiles.h"
#include "model/workingfiles.h"

#include <QCoroSignal>
#include <QCoroTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>

#include <chrono>

namespace korvane {

namespace {
const char *const downloadingMessage =
    QT_TRANSLATE_NOOP("korvane::AppViewModel", "영상 다운로드 중입니다. 잠시만 기다려주세요.");
const char *const damagedMessage = QT_TRANSLATE_NOOP(
    "korvane::AppViewModel", "영상 파일이 손상되어 정상적으로 재생할 수 없습니다.");

} // namespace

bool AppViewModel::openEndedByCard(quint64 card)
{
    if (card == m_cardGeneration)
        return false;
    setProcMessage(std::nullopt);
    setIsSelecting(false);
    return true;
}

bool AppViewModel::beginOpen()
{
    if (m_procMessage || m_isSelecting || m_isReloading)
        return false;
    setIsSelecting(true);
    cancelLoading();
    return true;
}

QCoro::Task<> AppViewModel::select(FileListItem item)
{
    if (!beginOpen())
        co_return;
    QPointer<AppViewModel> self(this);
    // The card may leave while the recording is read, rebuilt or loaded: the open then ends
    // quietly, its files gone with the card.
    const quint64 card = m_cardGeneration;
    const std::optional<qsizetype> position = m_filtered.indexOf(item.id);
    if (!position) {
        setIsSelecting(false);
        co_return;
    }
    if (m_player->isPlaying())
        m_player->stop();
    m_selectedId = item.id;
    setSelectedIndex(position);
    m_filtered.updateRows([&](qsizetype, FileListItem &row) {
        const bool selected = row.id == item.id;
        return std::exchange(row.isSelected, selected) != selected;
    });
    co_await QCoro::sleepFor(std::chrono::milliseconds(200));
    if (!self || openEndedByCard(card))
        co_return;
    // The rows shown may have changed meanwhile: the row is found again by its id.
    if (const std::optional<qsizetype> now = m_filtered.indexOf(item.id)) {
        item = m_filtered.rows()[*now];
    } else {
        setIsSelecting(false);
        co_return;
    }
    // Only a copy Korvane made of this very row plays as it: whatever else lies at its path is
    // read from the card again.
    if (!hasOwnCopy(item) && !item.fromComputer) {
        setProcMessage(tr(downloadingMessage));
        const QString cardPath = item.cardPath();
        co_await m_procManager.readCardFile(cardPath);
        if (!self || openEndedByCard(card))
            co_return;
        markCopied(item);
        setProcMessage(std::nullopt);
        // The card is there but the file cannot be read whole: what can be read may still show
        // the moment the driver is looking for.
        if (!hasOwnCopy(item) && !m_procManager.lastReadProblem().isEmpty()) {
            appLog("[AppViewModel] select " + cardPath + " ->", m_procManager.lastReadProblem());
            m_salvageRow = item;
            emit salvageQuestionChanged();
            setIsSelecting(false);
            co_return;
        }
    }
    co_await openCopy(item, localCopy(item), card);
}

QString AppViewModel::salvageQuestion() const
{
    if (!m_salvageRow)
        return {};
    return tr("%1 의 일부가 손상되어 카드에서 그대로 읽을 수 없습니다. 읽을 수 있는 부분만 "
              "가져와 재생할까요?")
        .arg(savedFileName(m_salvageRow->name));
}

void AppViewModel::answerSalvage(bool yes)
{
    const std::optional<FileListItem> row = std::exchange(m_salvageRow, std::nullopt);
    emit salvageQuestionChanged();
    if (yes && row)
        salvageAndOpen(*row);
}

QCoro::Task<> AppViewModel::salvageAndOpen(FileListItem item)
{
    if (!beginOpen())
        co_return;
    QPointer<AppViewModel> self(this);
    const quint64 card = m_cardGeneration;
    setProcMessage(tr("손상된 영상에서 읽을 수 있는 부분을 가져오는 중입니다."));
    const QString work = ProcessManager::workFolder(QStringLiteral("salvaged"));
    const QString cardPath = item.cardPath();
    // Named before it is awaited: GCC 12 mishandles temporaries in co_await.
    QCoro::Task<SalvagedCopy> salvaging = m_procManager.salvageCardFile(cardPath, work + item.name);
    const SalvagedCopy copy = co_await salvaging;
    if (!self || openEndedByCard(card))
        co_return;
    setProcMessage(std::nullopt);
    if (work.isEmpty() || copy.size == 0) {
        setAlertMessage(tr(damagedMessage));
        setIsSelecting(false);
        co_return;
    }
    const bool opened = co_await openCopy(item, work + item.name, card);
    if (!self || !opened)
        co_return;
    const auto megabytes = [](qint64 bytes) {
        return QString::number(static_cast<double>(bytes) / 1000 / 1000, 'f', 1);
    };
    setAlertMessage(tr("영상 %1 MB 중 %2 MB를 읽지 못해 그 부분은 비워 두었습니다.")
                        .arg(megabytes(copy.size), megabytes(copy.lost)));
}

QCoro::Task<bool> AppViewModel::openCopy(FileListItem item, QString local, quint64 card)
{
    QPointer<AppViewModel> self(this);
    const QString work = ProcessManager::workFolder(QStringLiteral("open"));
    if (work.isEmpty()) {
        setAlertMessage(tr(damagedMessage));
        setIsSelecting(false);
        co_return false;
    }
    const OpenFiles files = OpenFiles::in(work, local);
    // The task is named before it is awaited: GCC 12 mishandles temporaries in co_await.
    QCoro::Task<PlayableFile> making =
        makePlayable(m_procManager, files, item.name, item.cardPath(),
                     [self](const std::optional<QString> &message) {
                         if (self)
                             self->setProcMessage(message);
                     });
    const PlayableFile playable = co_await making;
    if (!self || openEndedByCard(card))
        co_return false;
    const bool ok = playable.ok;
    const bool loaded = co_await loadMp4(playable.path);
    if (!self || openEndedByCard(card))
        co_return false;
    if (loaded) {
        // Kept beside the copy until the next open: a clip is cut from what the player plays.
        m_clipSource = playable.path == files.playing ? files.playing : QString();
        m_openRecording = item;
        emit openTitleChanged();
    }

    if (loaded && ok) {
        // The player reads on from the file it opened; only the name goes.
        ProcessManager::deleteDirectory(files.temp);
        m_mediaData.reset();
        const quint64 generation = ++m_metadataGeneration;
        m_metadataPending = true;
        extractMediaRecordsAsync(files.local, [self, generation](MediaRecords records) {
            if (self && generation == self->m_metadataGeneration)
                self->getMp4Data(records);
        });
        if (m_isAutoLoad) {
            co_await prefetchPrevious(m_filtered.indexOf(item.id).value_or(0));
            if (!self)
                co_return false;
            startLoading();
        }
    } else {
        setAlertMessage(tr(damagedMessage));
    }
    setIsSelecting(false);
    co_return loaded &&ok;
}

QCoro::Task<bool> AppViewModel::recover(QString source, QString destination)
{
    co_return co_await rebuildWithSound(m_procManager, source, destination);
}

QCoro::Task<int> AppViewModel::getAudioCount(QString path)
{
    co_return co_await trackCount(path, TrackKind::audio);
}

QCoro::Task<int> AppViewModel::getVideoCount(QString path)
{
    co_return co_await trackCount(path, TrackKind::video);
}

QCoro::Task<bool> AppViewModel::loadMp4(QString path)
{
    QPointer<AppViewModel> self(this);
    try {
        const QUrl url = QUrl::fromLocalFile(path);
        co_await m_player->load(url);
    } catch (const PlaybackError &error) {
        if (self)
            appLog(QStringLiteral("[AppViewModel] loadMp4 failure: ") +
                   QString::fromUtf8(error.what()));
        co_return false;
    }
    // A load that the card's removal superseded opened nothing.
    if (!self || m_player->videoPlayers().isEmpty())
        co_return false;
    m_videoPlayers = m_player->videoPlayers();
    emit videoPlayersChanged();
    emit speedTextChanged();
    m_player->play();
    const int channels = static_cast<int>(m_videoPlayers.size());
    if (m_previousChannels != channels)
        setVideoChannel(-1);
    // A channel the new recording lacks is neither shown large nor in a window of its own.
    if (m_videoMode > channels)
        setVideoMode(0);
    if (channels < 5)
        setIsPopupOpen(false);
    setPreviousChannels(channels);
    co_return true;
}

void AppViewModel::getMp4Data(const MediaRecords &records)
{
    QJsonArray array;
    for (const QJsonObject &record : records)
        array.append(record);
    const QString json = QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
    if (const std::optional<QString> error = m_mediaData.load(json, m_player->duration()))
        appLog("[AppViewModel] getMp4Data failed: " + *error);
    m_metadataPending = false;
    emit metadataArrived();
}

QCoro::Task<> AppViewModel::metadataLoaded()
{
    if (m_metadataPending)
        co_await qCoro(this, &AppViewModel::metadataArrived);
}

QCoro::Task<> AppViewModel::prefetchPrevious(qsizetype index)
{
    if (index <= 0 || index >= m_filtered.count())
        co_return;
    const FileListItem above = m_filtered.rows()[index - 1];
    if (above.read != 0)
        co_return;
    QPointer<AppViewModel> self(this);
    const QString cardPath = above.cardPath();
    co_await m_procManager.readCardFile(cardPath);
    if (self)
        markCopied(above);
}

} // namespace korvane
