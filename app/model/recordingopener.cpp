// Opening a recording: copied from the card when it is not yet, played as soon as the player
// decodes it, rebuilt with salvex or remuxed with ffmpeg and given AAC sound, and its metadata
// scanned.
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
#include "records/drives.h"
#include "records/metadataextraction.h"
#include "records/mp4tracks.h"
#include "services/playablefile.h"
#include "services/workingcopy.h"
#include "services/workingfiles.h"

#include <QCoroSignal>
#include <QCoroTimer>
#include <QDeadlineTimer>
#include <QDir>
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
    connect(m_player, &MultiTrackPlayer::ended, this, &RecordingOpener::recordingEnded,
            Qt::DirectConnection);
    // A recording without GPS fixes keeps its data's stamp: the marks follow the arrival too.
    connect(this, &RecordingOpener::metadataArrived, m_nowPlaying, &NowPlaying::updateShockMarks);
    connect(m_session, &CardSession::cardLeft, this, &RecordingOpener::forgetCard);
}

void RecordingOpener::forgetCard()
{
    m_prepared.reset();
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
    if (m_notifications->procMessage() || !m_library->beginOpen())
        return false;
    m_endedDuringOpen = false;
    m_startAt = 0;
    ++m_preparationGeneration;
    return true;
}

QCoro::Task<> RecordingOpener::select(FileListItem item, double startAt)
{
    if (!beginOpen())
        co_return;
    m_startAt = startAt;
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
    // much sooner. A drive that plays on from one recording into the next does not wait.
    const QDeadlineTimer marked(
        std::chrono::milliseconds(std::exchange(m_continuing, false) ? 0 : 200));
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
    const QString local = localCopy(item);
    QCoro::Task<bool> opening = openCopy(item, local, card, marked);
    co_await opening;
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

void RecordingOpener::recordingEnded()
{
    // An open under way plays its recording before it ends: the next one waits for it.
    if (m_library->isSelecting())
        m_endedDuringOpen = true;
    else
        continueAfterEnd();
}

void RecordingOpener::continueAfterEnd()
{
    const std::optional<FileListItem> &open = m_nowPlaying->openRecording();
    const std::optional<Following> next = open && m_following ? m_following(*open) : std::nullopt;
    if (next) {
        openFollowing(*next, m_seamless);
        return;
    }
    m_continuing = m_seamless;
    openPrevious();
    m_continuing = false;
}

QCoro::Task<> RecordingOpener::openFollowing(Following next, bool continuing)
{
    QPointer<RecordingOpener> self(this);
    // An event's seconds of a drive play from whatever holds them, in whichever tab.
    if (!m_library->filteredModel()->indexOf(next.row.id)) {
        QCoro::Task<> showing = m_library->showRowsOf(next.row.type);
        co_await showing;
        if (!self)
            co_return;
    }
    m_continuing = continuing;
    QCoro::Task<> opening = select(next.row, next.startAt);
    m_continuing = false;
    co_await opening;
}

QCoro::Task<> RecordingOpener::prepareNext(FileListItem item)
{
    QPointer<RecordingOpener> self(this);
    const quint64 generation = ++m_preparationGeneration;
    const std::optional<Following> following = m_following ? m_following(item) : std::nullopt;
    // One that starts inside the next recording opens the usual way when its turn comes.
    if (!m_seamless || !following || following->startAt > 0)
        co_return;
    const FileListItem next = following->row;
    const quint64 card = m_session->generation();
    QCoro::Task<> copying = m_library->prefetch(next);
    co_await copying;
    if (!self || generation != m_preparationGeneration || card != m_session->generation())
        co_return;
    if (!next.fromComputer && !hasOwnCopy(m_card, next))
        co_return;
    // The folders of earlier preparations go, all but the one the open recording plays from: a
    // rebuild they superseded may still be writing into its own.
    const QString works = WorkingFolder::tempRoot() + QStringLiteral("work/");
    for (const QString &old : QDir(works).entryList({QStringLiteral("next-*")}, QDir::Dirs)) {
        if (works + old + QLatin1Char('/') != m_openWork)
            WorkingFolder::deleteDirectory(works + old);
    }
    const QString work = WorkingFolder::workFolder(QStringLiteral("next-%1").arg(++m_preparations));
    if (work.isEmpty())
        co_return;
    const OpenFiles files = OpenFiles::in(work, localCopy(next));
    QString path = files.local;
    QString side;
    if (next.needsRebuild()) {
        const bool rebuilt = co_await m_card.conversions().recoverVideo(files.local, files.temp);
        if (!self || !rebuilt || generation != m_preparationGeneration ||
            card != m_session->generation())
            co_return;
        path = files.temp;
        if (const QString sound = sideSoundOf(files.temp);
            WorkingFolder::fileSize(sound, false) != 0)
            side = sound;
    }
    QCoro::Task<bool> preloading = m_player->preload(
        QUrl::fromLocalFile(path), side.isEmpty() ? QUrl() : QUrl::fromLocalFile(side));
    const bool preloaded = co_await preloading;
    if (!self || !preloaded || generation != m_preparationGeneration ||
        card != m_session->generation())
        co_return;
    m_prepared = Prepared{next.id, work, path, side};
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
    const QString salvaged = work + item.name;
    QCoro::Task<bool> opening = openCopy(item, salvaged, card, QDeadlineTimer());
    const bool opened = co_await opening;
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
    // Made ready while the recording before played: its files are in a folder of their own and
    // the player has it open.
    const std::optional<Prepared> prepared = std::exchange(m_prepared, std::nullopt);
    const bool ready = prepared && prepared->id == item.id &&
                       m_player->hasPreloaded(QUrl::fromLocalFile(prepared->path),
                                              prepared->sideSound.isEmpty()
                                                  ? QUrl()
                                                  : QUrl::fromLocalFile(prepared->sideSound));
    const QString work = ready ? prepared->work : WorkingFolder::workFolder(QStringLiteral("open"));
    m_openWork = work;
    // A rebuild that replaces what played starts it again where this open was asked to.
    const double startAt = m_startAt;
    if (work.isEmpty()) {
        m_notifications->setAlertMessage(tr(damagedMessage));
        m_library->endOpen();
        co_return false;
    }
    const OpenFiles files = OpenFiles::in(work, local);
    const Conversions &conversions = m_card.conversions();
    // Tasks are named before they are awaited: GCC 12 mishandles temporaries in co_await.
    // The recording plays as soon as the player decodes what there is of it: a finished one's
    // copy as it came from the card, an unfinished one's rebuild with its sound still beside it.
    // The files an open keeps are made while it plays; the player is handed them only when it
    // could not play before.
    bool playing = false;
    bool ok = true;
    bool soundInAac = false;
    if (item.needsRebuild()) {
        if (!ready) {
            m_notifications->setProcMessage(rebuildingMessage());
            ok = co_await conversions.recoverVideo(files.local, files.temp);
            if (!self || openEndedByCard(card))
                co_return false;
            m_notifications->setProcMessage(std::nullopt);
        }
        if (ok) {
            const QString sound = sideSoundOf(files.temp);
            const QString side = WorkingFolder::fileSize(sound, false) != 0 ? sound : QString();
            QCoro::Task<bool> starting =
                playAsItIs(item, files.temp, side, files.local, card, notBefore);
            playing = co_await starting;
            if (!self || openEndedByCard(card))
                co_return false;
            soundInAac = co_await mergeSideSound(conversions, files.temp);
            if (!self || openEndedByCard(card))
                co_return false;
        }
    } else {
        QCoro::Task<bool> starting =
            playAsItIs(item, files.local, QString(), files.local, card, notBefore);
        playing = co_await starting;
        if (!self || openEndedByCard(card))
            co_return false;
        const std::optional<QString> complaint =
            co_await conversions.remuxVideo(files.local, files.temp);
        if (!self || openEndedByCard(card))
            co_return false;
        if (complaint) {
            appLog(logModel, "[AppViewModel] select " + item.cardPath() + " -> " + *complaint);
            // ffmpeg finds the copy's parameter sets wrong: its rebuild replaces what plays.
            playing = false;
            m_notifications->setProcMessage(rebuildingMessage());
            ok = co_await conversions.recoverVideo(files.local, files.temp);
            if (ok && self)
                soundInAac = co_await mergeSideSound(conversions, files.temp);
            if (!self || openEndedByCard(card))
                co_return false;
            m_notifications->setProcMessage(std::nullopt);
        }
    }
    QCoro::Task<PlayableFile> finishing = finishPlayable(conversions, files, item.name, soundInAac);
    const PlayableFile playable = co_await finishing;
    if (!self || openEndedByCard(card))
        co_return false;
    // A rebuild played before its sound was merged: its pictures are in the playable file now.
    if (playing && item.needsRebuild() && playable.path != files.temp)
        m_player->recordingMoved(playable.path);
    bool loaded = playing;
    if (!playing) {
        m_startAt = startAt;
        loaded = co_await loadMp4(playable.path);
        if (loaded)
            loaded = co_await playWhenDue(card, notBefore);
        if (!self || openEndedByCard(card))
            co_return false;
        if (loaded)
            readMetadata(files.local);
    }
    if (loaded) {
        // Kept beside the copy until the next open: a clip is cut from the file made playable.
        m_nowPlaying->setOpenRecording(item,
                                       playable.path == files.playing ? files.playing : QString());
    }

    if (loaded && ok) {
        // The player reads on from the file it opened; only the name goes.
        WorkingFolder::deleteDirectory(files.temp);
        if (m_library->isAutoLoad()) {
            co_await m_library->prefetchPrevious(
                m_library->filteredModel()->indexOf(item.id).value_or(0));
            if (!self)
                co_return false;
            m_library->startLoading();
            prepareNext(item);
        }
    } else {
        m_notifications->setAlertMessage(tr(damagedMessage));
    }
    m_library->endOpen();
    const bool played = loaded && ok;
    // The recording played to its end while its files were being made: the next one opens now.
    if (std::exchange(m_endedDuringOpen, false) && played)
        continueAfterEnd();
    co_return played;
}

QCoro::Task<bool> RecordingOpener::playAsItIs(FileListItem item, QString path, QString sideSound,
                                              QString local, quint64 card, QDeadlineTimer notBefore)
{
    QPointer<RecordingOpener> self(this);
    // A file the player cannot open as it is is made playable first: no failure to log yet.
    QCoro::Task<std::optional<QString>> loading = loadRecording(path, sideSound);
    const std::optional<QString> failure = co_await loading;
    if (!self || failure)
        co_return false;
    const std::optional<TrackCounts> tracks = trackCounts(path);
    const bool hasSound = !sideSound.isEmpty() || (tracks && tracks->audio > 0);
    // Sound the player cannot decode is made AAC before it plays; its first pictures show.
    if (hasSound && !m_player->audioPlayer())
        co_return false;
    // What plays is this recording from now on: a snapshot is named after it, and a clip, with
    // no playable file made yet, makes its own.
    m_nowPlaying->setOpenRecording(item, QString());
    if (!co_await playWhenDue(card, notBefore))
        co_return false;
    readMetadata(local);
    co_return true;
}

QCoro::Task<std::optional<QString>> RecordingOpener::loadRecording(QString path, QString sideSound)
{
    QPointer<RecordingOpener> self(this);
    try {
        const QUrl url = QUrl::fromLocalFile(path);
        const QUrl sound = sideSound.isEmpty() ? QUrl() : QUrl::fromLocalFile(sideSound);
        co_await m_player->load(url, sound);
    } catch (const PlaybackError &error) {
        co_return QString::fromUtf8(error.what());
    }
    // A load that the card's removal superseded opened nothing.
    if (!self || m_player->videoPlayers().isEmpty())
        co_return QStringLiteral("the load was superseded");
    m_nowPlaying->channelsLoaded();
    m_layout->recordingLoaded(static_cast<int>(m_nowPlaying->videoPlayers().size()));
    co_return std::nullopt;
}

QCoro::Task<bool> RecordingOpener::loadMp4(QString path)
{
    QPointer<RecordingOpener> self(this);
    QCoro::Task<std::optional<QString>> loading = loadRecording(path, QString());
    const std::optional<QString> failure = co_await loading;
    if (self && failure)
        appLog(logModel, QStringLiteral("[AppViewModel] loadMp4 failure: ") + *failure);
    co_return self && !failure;
}

QCoro::Task<bool> RecordingOpener::playWhenDue(quint64 card, QDeadlineTimer notBefore)
{
    QPointer<RecordingOpener> self(this);
    if (const qint64 left = notBefore.remainingTime(); left > 0) {
        co_await QCoro::sleepFor(std::chrono::milliseconds(left));
        if (!self || card != m_session->generation())
            co_return false;
    }
    if (const double startAt = std::exchange(m_startAt, 0); startAt > 0 && m_player->duration() > 0)
        m_player->seek(startAt / m_player->duration());
    m_player->play();
    co_return true;
}

void RecordingOpener::readMetadata(const QString &local)
{
    QPointer<RecordingOpener> self(this);
    m_mediaData->reset();
    const quint64 generation = ++m_metadataGeneration;
    m_metadataPending = true;
    extractMediaRecordsAsync(local, [self, generation](MediaRecords records) {
        if (self && generation == self->m_metadataGeneration)
            self->metadataRead(records);
    });
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
