// Opening a recording: copied from the card when it is not yet, rebuilt with salvex or remuxed
// with ffmpeg, given AAC sound, loaded into the player, and its metadata scanned.
#include "model/recordingopener.h"

#include "card/processmanager.h"
#include "model/cardsession.h"
#include "model/notifications.h"
#include "model/nowplaying.h"
#include "model/recordinglibrary.h"
#include "model/screenlayout.h"
#include "services/mediadataviewmodel.h"

#include "base/applog.h"
#include "card/savedfiles.h"
#include "card/workingfolder.h"
#include "playback/multitrackplayer.h"
#include "records/metadataextraction.h"
#include "services/playablefile.h"
#include "services/workingcopy.h"
#include "services/workingfiles.h"

#include <QCoroSignal>
#include <QCoroTimer>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>

#include <chrono>

namespace korvane {

namespace {
const char *const downloadingMessage =
    QT_TRANSLATE_NOOP("korvane::RecordingOpener", "영상 다운로드 중입니다. 잠시만 기다려주세요.");
const char *const damagedMessage = QT_TRANSLATE_NOOP(
    "korvane::RecordingOpener", "영상 파일이 손상되어 정상적으로 재생할 수 없습니다.");

} // namespace

RecordingOpener::RecordingOpener(const Parts &parts, QObject *parent)
    : QObject(parent), m_card(parts.card), m_player(parts.player), m_mediaData(parts.mediaData),
      m_session(parts.session), m_notifications(parts.notifications), m_library(parts.library),
      m_nowPlaying(parts.nowPlaying), m_layout(parts.layout)
{
    // With the list newest first, the row above is the recording made next. Its open starts at
    // once, as the end is signalled, with the player already Ended: it changes nothing of the
    // player before its first wait.
    connect(m_player, &MultiTrackPlayer::ended, this, &RecordingOpener::openPrevious,
            Qt::DirectConnection);
    // A recording without GPS fixes keeps its data's stamp: the marks follow the arrival too.
    connect(this, &RecordingOpener::metadataArrived, m_nowPlaying, &NowPlaying::updateShockMarks);
    connect(m_session, &CardSession::cardLeft, this, &RecordingOpener::forgetCard);
}

void RecordingOpener::forgetCard()
{
    ++m_metadataGeneration;
    m_metadataPending = false;
    m_mediaData->reset();
}

bool RecordingOpener::openEndedByCard(quint64 card)
{
    if (card == m_session->generation())
        return false;
    m_notifications->setProcMessage(std::nullopt);
    m_library->endOpen();
    return true;
}

bool RecordingOpener::beginOpen()
{
    return !m_notifications->procMessage() && m_library->beginOpen();
}

QCoro::Task<> RecordingOpener::select(FileListItem item)
{
    if (!beginOpen())
        co_return;
    QPointer<RecordingOpener> self(this);
    // The card may leave while the recording is read, rebuilt or loaded: the open then ends
    // quietly, its files gone with the card.
    const quint64 card = m_session->generation();
    const std::optional<qsizetype> position = m_library->filteredModel()->indexOf(item.id);
    if (!position) {
        m_library->endOpen();
        co_return;
    }
    if (m_player->isPlaying())
        m_player->stop();
    m_library->markSelected(item.id);
    // The row stays marked 200 ms before the recording plays. The wait runs beside the card read
    // and the making of the playable file rather than before them: the first picture comes that
    // much sooner.
    const QDeadlineTimer marked(std::chrono::milliseconds(200));
    // The rows shown may have changed meanwhile: the row is found again by its id.
    if (const std::optional<qsizetype> now = m_library->filteredModel()->indexOf(item.id)) {
        item = m_library->filteredModel()->rows()[*now];
    } else {
        m_library->endOpen();
        co_return;
    }
    // Only a copy Korvane made of this very row plays as it: whatever else lies at its path is
    // read from the card again.
    if (!hasOwnCopy(m_card, item) && !item.fromComputer) {
        m_notifications->setProcMessage(tr(downloadingMessage));
        const QString cardPath = item.cardPath();
        co_await m_card.readCardFile(cardPath);
        if (!self || openEndedByCard(card))
            co_return;
        m_library->markCopied(item);
        m_notifications->setProcMessage(std::nullopt);
        // The card is there but the file cannot be read whole: what can be read may still show
        // the moment the driver is looking for.
        if (!hasOwnCopy(m_card, item) && !m_card.lastReadProblem().isEmpty()) {
            appLog(logModel, "[AppViewModel] select " + cardPath + " ->", m_card.lastReadProblem());
            m_salvageRow = item;
            emit salvageQuestionChanged();
            m_library->endOpen();
            co_return;
        }
    }
    co_await openCopy(item, localCopy(item), card, marked);
}

QCoro::Task<> RecordingOpener::selectAt(qsizetype index)
{
    if (index < 0 || index >= m_library->filteredModel()->count())
        co_return;
    co_await select(m_library->filtered()[index]);
}

QCoro::Task<> RecordingOpener::selectNext()
{
    const std::optional<qsizetype> selected = m_library->selectedIndex();
    if (selected && *selected < m_library->filteredModel()->count() - 1)
        co_await selectAt(*selected + 1);
}

QCoro::Task<> RecordingOpener::selectPrevious()
{
    const std::optional<qsizetype> selected = m_library->selectedIndex();
    if (selected && *selected > 0)
        co_await selectAt(*selected - 1);
}

void RecordingOpener::open(int row)
{
    if (row >= 0 && row < m_library->filteredModel()->count())
        select(m_library->filtered()[row]);
}

void RecordingOpener::openNext()
{
    selectNext();
}

void RecordingOpener::openPrevious()
{
    selectPrevious();
}

QString RecordingOpener::salvageQuestion() const
{
    if (!m_salvageRow)
        return {};
    return tr("%1 의 일부가 손상되어 카드에서 그대로 읽을 수 없습니다. 읽을 수 있는 부분만 "
              "가져와 재생할까요?")
        .arg(savedFileName(m_salvageRow->name));
}

void RecordingOpener::answerSalvage(bool yes)
{
    const std::optional<FileListItem> row = std::exchange(m_salvageRow, std::nullopt);
    emit salvageQuestionChanged();
    if (yes && row)
        salvageAndOpen(*row);
}

QCoro::Task<> RecordingOpener::salvageAndOpen(FileListItem item)
{
    if (!beginOpen())
        co_return;
    QPointer<RecordingOpener> self(this);
    const quint64 card = m_session->generation();
    m_notifications->setProcMessage(tr("손상된 영상에서 읽을 수 있는 부분을 가져오는 중입니다."));
    const QString work = WorkingFolder::workFolder(QStringLiteral("salvaged"));
    const QString cardPath = item.cardPath();
    // Named before it is awaited: GCC 12 mishandles temporaries in co_await.
    QCoro::Task<SalvagedCopy> salvaging = m_card.salvageCardFile(cardPath, work + item.name);
    const SalvagedCopy copy = co_await salvaging;
    if (!self || openEndedByCard(card))
        co_return;
    m_notifications->setProcMessage(std::nullopt);
    if (work.isEmpty() || copy.size == 0) {
        m_notifications->setAlertMessage(tr(damagedMessage));
        m_library->endOpen();
        co_return;
    }
    const bool opened = co_await openCopy(item, work + item.name, card, QDeadlineTimer());
    if (!self || !opened)
        co_return;
    const auto megabytes = [](qint64 bytes) {
        return QString::number(static_cast<double>(bytes) / 1000 / 1000, 'f', 1);
    };
    m_notifications->setAlertMessage(
        tr("영상 %1 MB 중 %2 MB를 읽지 못해 그 부분은 비워 두었습니다.")
            .arg(megabytes(copy.size), megabytes(copy.lost)));
}

QCoro::Task<bool> RecordingOpener::openCopy(FileListItem item, QString local, quint64 card,
                                            QDeadlineTimer notBefore)
{
    QPointer<RecordingOpener> self(this);
    const QString work = WorkingFolder::workFolder(QStringLiteral("open"));
    if (work.isEmpty()) {
        m_notifications->setAlertMessage(tr(damagedMessage));
        m_library->endOpen();
        co_return false;
    }
    const OpenFiles files = OpenFiles::in(work, local);
    // The task is named before it is awaited: GCC 12 mishandles temporaries in co_await.
    QCoro::Task<PlayableFile> making =
        makePlayable(m_card.conversions(), files, item.name, item.cardPath(),
                     [self](const std::optional<QString> &message) {
                         if (self)
                             self->m_notifications->setProcMessage(message);
                     });
    const PlayableFile playable = co_await making;
    if (!self || openEndedByCard(card))
        co_return false;
    const bool ok = playable.ok;
    if (const qint64 left = notBefore.remainingTime(); left > 0) {
        co_await QCoro::sleepFor(std::chrono::milliseconds(left));
        if (!self || openEndedByCard(card))
            co_return false;
    }
    const bool loaded = co_await loadMp4(playable.path);
    if (!self || openEndedByCard(card))
        co_return false;
    if (loaded) {
        // Kept beside the copy until the next open: a clip is cut from what the player plays.
        m_nowPlaying->setOpenRecording(item,
                                       playable.path == files.playing ? files.playing : QString());
    }

    if (loaded && ok) {
        // The player reads on from the file it opened; only the name goes.
        WorkingFolder::deleteDirectory(files.temp);
        m_mediaData->reset();
        const quint64 generation = ++m_metadataGeneration;
        m_metadataPending = true;
        extractMediaRecordsAsync(files.local, [self, generation](MediaRecords records) {
            if (self && generation == self->m_metadataGeneration)
                self->metadataRead(records);
        });
        if (m_library->isAutoLoad()) {
            co_await m_library->prefetchPrevious(
                m_library->filteredModel()->indexOf(item.id).value_or(0));
            if (!self)
                co_return false;
            m_library->startLoading();
        }
    } else {
        m_notifications->setAlertMessage(tr(damagedMessage));
    }
    m_library->endOpen();
    const bool played = loaded && ok;
    co_return played;
}

QCoro::Task<bool> RecordingOpener::loadMp4(QString path)
{
    QPointer<RecordingOpener> self(this);
    try {
        const QUrl url = QUrl::fromLocalFile(path);
        co_await m_player->load(url);
    } catch (const PlaybackError &error) {
        if (self)
            appLog(logModel, QStringLiteral("[AppViewModel] loadMp4 failure: ") +
                                 QString::fromUtf8(error.what()));
        co_return false;
    }
    // A load that the card's removal superseded opened nothing.
    if (!self || m_player->videoPlayers().isEmpty())
        co_return false;
    m_nowPlaying->channelsLoaded();
    m_player->play();
    m_layout->recordingLoaded(static_cast<int>(m_nowPlaying->videoPlayers().size()));
    co_return true;
}

void RecordingOpener::metadataRead(const MediaRecords &records)
{
    QJsonArray array;
    for (const QJsonObject &record : records)
        array.append(record);
    const QString json = QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
    if (const std::optional<QString> error = m_mediaData->load(json, m_player->duration()))
        appLog(logModel, "[AppViewModel] getMp4Data failed: " + *error);
    m_metadataPending = false;
    emit metadataArrived();
}

QCoro::Task<> RecordingOpener::metadataLoaded()
{
    if (m_metadataPending)
        co_await qCoro(this, &RecordingOpener::metadataArrived);
}

} // namespace korvane
