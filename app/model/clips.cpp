// Evidence clips of the open recording between two marks, and its GPS route as GPX: saved into
// a folder the user picks, to hand to an insurer or the police.
#include "model/clips.h"

#include "card/processmanager.h"
#include "model/downloads.h"
#include "model/drivetimeline.h"
#include "model/notifications.h"
#include "model/nowplaying.h"
#include "model/recordinglibrary.h"
#include "model/savefolders.h"
#include "playback/multitrackplayer.h"
#include "services/mediadataviewmodel.h"

#include "base/applog.h"
#include "base/background.h"
#include "base/userdefaults.h"
#include "card/joinedclip.h"
#include "card/savedfiles.h"
#include "card/workingfolder.h"
#include "records/gpxtrack.h"
#include "records/metadataextraction.h"
#include "services/clipcaptions.h"
#include "services/evidencereport.h"
#include "services/playablefile.h"
#include "services/workingcopy.h"
#include "services/workingfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>
#include <QUuid>

#include <algorithm>
#include <cmath>

namespace korvane {

namespace {

// "00m12s": whole minutes and seconds of a mark.
QString markText(double seconds)
{
    const auto whole = static_cast<qint64>(std::floor(std::max(0.0, seconds)));
    return QStringLiteral("%1m%2s")
        .arg(whole / 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

QString clockOf(const QDateTime &moment)
{
    return moment.toString(QStringLiteral("HH:mm:ss"));
}

ClipLayout layoutOf(const QString &name)
{
    return clipLayoutNamed(name).value_or(ClipLayout::tracks);
}

// Where a row's recording starts in the drives, when it is one of theirs.
std::optional<QDateTime> startInDrives(const QList<Drive> &drives, const QUuid &row)
{
    for (const Drive &drive : drives) {
        for (const DriveRecording &recording : drive.recordings) {
            if (recording.row.id == row)
                return recording.start;
        }
    }
    return std::nullopt;
}

// The evidence report's name beside a clip: the clip's, with ".html".
QString reportName(const QString &clip)
{
    const QFileInfo info(clip);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".html"));
}

} // namespace

Clips::Clips(const Parts &parts, QObject *parent)
    : QObject(parent), m_card(parts.card), m_player(parts.player), m_mediaData(parts.mediaData),
      m_nowPlaying(parts.nowPlaying), m_downloads(parts.downloads),
      m_notifications(parts.notifications), m_timeline(parts.timeline)
{
    // A recording opened or closed: marks of the one before mean nothing on it, unless they are
    // moments of a drive, which the recording that opens may belong to.
    connect(m_player, &MultiTrackPlayer::videoPlayersChanged, this, [this] {
        if (!m_fromMoment && !m_toMoment)
            clearClipMarks();
    });
    connect(m_nowPlaying, &NowPlaying::openTitleChanged, this, &Clips::followMarks);
}

void Clips::followMarks()
{
    if (!m_fromMoment && !m_toMoment)
        return;
    const std::optional<FileListItem> &open = m_nowPlaying->openRecording();
    for (const Drive &drive : open ? m_timeline->drives() : QList<Drive>{}) {
        const auto within = [&](const std::optional<QDateTime> &moment) {
            return !moment || (*moment >= drive.start && *moment <= drive.end);
        };
        for (const DriveRecording &recording : drive.recordings) {
            if (recording.row.id != open->id || !within(m_fromMoment) || !within(m_toMoment))
                continue;
            const auto seconds = [&](const QDateTime &moment) {
                return static_cast<double>(recording.start.msecsTo(moment)) / 1000;
            };
            if (m_fromMoment)
                m_clipFrom = seconds(*m_fromMoment);
            if (m_toMoment)
                m_clipTo = seconds(*m_toMoment);
            emit clipMarksChanged();
            return;
        }
    }
    clearClipMarks();
}

const Drive *Clips::markedDrive() const
{
    if (!m_fromMoment || !m_toMoment)
        return nullptr;
    for (const Drive &drive : m_timeline->drives()) {
        if (*m_fromMoment >= drive.start && *m_toMoment <= drive.end)
            return &drive;
    }
    return nullptr;
}

bool Clips::clipCaption() const
{
    return UserSettings::clipCaption();
}

void Clips::setClipCaption(bool on)
{
    if (on == clipCaption())
        return;
    UserSettings::setClipCaption(on);
    emit clipCaptionChanged();
}

QString Clips::clipLayout() const
{
    return clipLayoutName(layoutOf(UserSettings::clipLayout()));
}

void Clips::setClipLayout(const QString &layout)
{
    if (!clipLayoutNamed(layout) || layout == clipLayout())
        return;
    UserSettings::setClipLayout(layout);
    emit clipLayoutChanged();
}

QString Clips::clipLayoutText() const
{
    switch (layoutOf(clipLayout())) {
    case ClipLayout::grid:
        return tr("증거 영상: 모든 카메라를 한 화면에 나란히 (어느 플레이어에서나 재생)");
    case ClipLayout::pip:
        return tr("증거 영상: 전방 카메라를 크게, 다른 카메라는 작게 (어느 플레이어에서나 재생)");
    case ClipLayout::tracks:
        break;
    }
    return tr("증거 영상: 카메라마다 영상 트랙 하나 (녹화된 그대로)");
}

void Clips::nextClipLayout()
{
    switch (layoutOf(clipLayout())) {
    case ClipLayout::tracks:
        setClipLayout(clipLayoutName(ClipLayout::grid));
        break;
    case ClipLayout::grid:
        setClipLayout(clipLayoutName(ClipLayout::pip));
        break;
    case ClipLayout::pip:
        setClipLayout(clipLayoutName(ClipLayout::tracks));
        break;
    }
}

bool Clips::clipReport() const
{
    return UserSettings::clipReport();
}

void Clips::setClipReport(bool on)
{
    if (on == clipReport())
        return;
    UserSettings::setClipReport(on);
    emit clipReportChanged();
}

bool Clips::canExportClip() const
{
    return m_nowPlaying->openRecording() && !m_nowPlaying->videoPlayers().isEmpty() && m_hasFrom &&
           m_hasTo && m_clipTo > m_clipFrom;
}

QString Clips::clipSpanText() const
{
    if (!m_hasFrom && !m_hasTo)
        return {};
    if (m_fromMoment || m_toMoment) {
        // Marks of a drive: on the dashcam's clock, a missing one at the open recording's end.
        const std::optional<QDateTime> start =
            m_nowPlaying->openRecording()
                ? startInDrives(m_timeline->drives(), m_nowPlaying->openRecording()->id)
                : std::nullopt;
        const auto at = [&](const std::optional<QDateTime> &moment, double seconds) {
            return moment  ? clockOf(*moment)
                   : start ? clockOf(start->addMSecs(qRound64(seconds * 1000)))
                           : QStringLiteral("--:--:--");
        };
        return at(m_fromMoment, 0) + QStringLiteral(" – ") + at(m_toMoment, m_player->duration());
    }
    using Precision = NowPlaying::Precision;
    const double to = m_hasTo ? m_clipTo : m_player->duration();
    return NowPlaying::clockText(m_hasFrom ? m_clipFrom : 0.0, Precision::hundredths) +
           QStringLiteral(" – ") + NowPlaying::clockText(to, Precision::hundredths);
}

void Clips::markClipStart()
{
    m_clipFrom = std::max(0.0, m_player->currentTime());
    m_hasFrom = true;
    m_fromMoment = m_timeline->drivePlays() ? m_timeline->playedMoment() : std::nullopt;
    // A mark of another kind (of the drive or of the recording alone) cannot make a span with it.
    if (m_hasTo && (m_clipTo <= m_clipFrom || m_fromMoment.has_value() != m_toMoment.has_value())) {
        m_hasTo = false;
        m_toMoment.reset();
    }
    emit clipMarksChanged();
}

void Clips::markClipEnd()
{
    m_clipTo = std::max(0.0, m_player->currentTime());
    m_hasTo = true;
    m_toMoment = m_timeline->drivePlays() ? m_timeline->playedMoment() : std::nullopt;
    if (m_hasFrom &&
        (m_clipFrom >= m_clipTo || m_fromMoment.has_value() != m_toMoment.has_value())) {
        m_hasFrom = false;
        m_fromMoment.reset();
    }
    emit clipMarksChanged();
}

void Clips::clearClipMarks()
{
    m_hasFrom = false;
    m_hasTo = false;
    m_fromMoment.reset();
    m_toMoment.reset();
    emit clipMarksChanged();
}

QString Clips::clipFileName(int choice) const
{
    QString name = m_nowPlaying->openRecording()
                       ? QFileInfo(savedFileName(m_nowPlaying->openRecording()->name)).baseName()
                       : QStringLiteral("clip");
    QString span = markText(m_clipFrom) + QLatin1Char('-') + markText(m_clipTo);
    if (const Drive *drive = markedDrive()) {
        const QList<SpanPiece> pieces = drive->piecesOf(*m_fromMoment, *m_toMoment);
        if (!pieces.isEmpty())
            name = QFileInfo(savedFileName(drive->recordings[pieces.first().recording].row.name))
                       .baseName();
        span = m_fromMoment->toString(QStringLiteral("HHmmss")) + QLatin1Char('-') +
               m_toMoment->toString(QStringLiteral("HHmmss"));
    }
    // The marks and the camera are kept whole; a long name gives way to them.
    return suffixedFileName(name + QStringLiteral(".mp4"),
                            QStringLiteral("_clip_") + span +
                                (choice > 0 ? QStringLiteral("_CH%1").arg(choice) : QString()));
}

QCoro::Task<ClipResult> Clips::exportDriveSpan(QString folder, Drive drive, int choice,
                                               ShellCancel cancel)
{
    ClipResult result;
    result.outcome = ClipResult::Outcome::failed;
    QPointer<Clips> self(this);
    const Drive &spanned = drive; // a copy: the drives may be found again meanwhile
    const QDateTime from = *m_fromMoment;
    const QDateTime to = *m_toMoment;
    const FileListItem open = *m_nowPlaying->openRecording();
    const QString played = m_nowPlaying->playedFile();
    const QList<GPSInfo> openFixes = m_mediaData->gpsEvents();
    JoinedClipRequest request;
    request.layout = layoutOf(clipLayout());
    request.track = choice - 1;
    request.destination = QDir(folder).filePath(clipFileName(choice));
    result.path = request.destination;
    const bool captioned = clipCaption();
    QList<CaptionLine> captions;
    QList<EvidenceSource> sources;
    // The recordings the span touches besides the open one are read from the card when no copy
    // is there, and made playable beside the clip, as opening them would.
    const QString scratch = WorkingFolder::workFolder(QStringLiteral("clip-source-") +
                                                      QUuid::createUuid().toString(QUuid::Id128));
    double clipStart = 0;
    for (const SpanPiece &piece : spanned.piecesOf(from, to)) {
        const DriveRecording &recording = spanned.recordings[piece.recording];
        const FileListItem &row = recording.row;
        QString playable = row.id == open.id && fileBytes(played) > 0 ? played : QString();
        if (playable.isEmpty()) {
            if (!hasOwnCopy(m_card, row) && !row.fromComputer) {
                QCoro::Task<> reading = m_card.readCardFile(row.cardPath());
                co_await reading;
                if (!self)
                    co_return result;
            }
            if (!hasOwnCopy(m_card, row) || scratch.isEmpty() || cancel.isCancelled()) {
                result.detail = QStringLiteral("%1 could not be read").arg(row.cardPath());
                break;
            }
            const QString pieceFolder = scratch + QStringLiteral("piece-%1/").arg(sources.size());
            QDir().mkpath(pieceFolder);
            QCoro::Task<PlayableFile> making =
                makePlayable(m_card.conversions(), OpenFiles::in(pieceFolder, localCopy(row)),
                             row.name, row.cardPath(), [](const std::optional<QString> &) {});
            const PlayableFile made = co_await making;
            if (!self)
                co_return result;
            playable = made.ok ? made.path : QString();
            if (playable.isEmpty())
                break;
        }
        request.pieces.append({playable, piece.from, piece.to});
        sources.append({row.name, localCopy(row), playable, recording.start, piece.from, piece.to});
        if (captioned)
            addPieceCaptions(captions,
                             clipCaptions(row.id == open.id
                                              ? openFixes
                                              : fixesOnTimeAxis(localCopy(row), playable),
                                          row.name, piece.from, piece.to),
                             clipStart, piece.to - piece.from);
        clipStart += piece.to - piece.from;
    }
    if (captioned)
        request.captions = captions;
    if (sources.size() == spanned.piecesOf(from, to).size() && !cancel.isCancelled()) {
        QCoro::Task<ClipResult> exporting = exportJoinedClip(
            m_card.tools(), request,
            [self](int percent) {
                if (self && self->m_notifications->downloadMessage())
                    self->m_notifications->setDownloadMessage(
                        tr("증거 영상 만드는 중... %1%").arg(percent));
            },
            cancel);
        result = co_await exporting;
    } else if (cancel.isCancelled()) {
        result.outcome = ClipResult::Outcome::cancelled;
    }
    if (self && result.outcome == ClipResult::Outcome::saved && clipReport()) {
        QCoro::Task<EvidenceReportResult> reporting =
            writeEvidenceReport(m_card.tools(), result.path, sources, reportName(result.path));
        const EvidenceReportResult report = co_await reporting;
        result.detail = report.path;
    }
    WorkingFolder::deleteDirectory(scratch);
    co_return result;
}

QCoro::Task<ClipResult> Clips::exportClipInto(QString folder)
{
    ClipResult result;
    result.outcome = ClipResult::Outcome::failed;
    if (m_downloads->isDownloading() || !canExportClip())
        co_return result;
    QPointer<Clips> self(this);
    const int choice = m_downloads->channelChoice();
    m_downloads->setIsDownloading(true);
    m_clipCancel = ShellCancel();
    ShellCancel cancel = m_clipCancel;
    m_notifications->setDownloadMessage(tr("증거 영상 만드는 중... %1%").arg(0));
    // Closing the progress cancels the clip.
    const QMetaObject::Connection closing = connect(
        m_notifications, &Notifications::downloadMessageChanged, this, [this, cancel]() mutable {
            if (!m_notifications->downloadMessage())
                cancel.cancel();
        });

    // Marks in two recordings of a drive, or in another recording than the one open: the span
    // is cut from each recording it touches.
    const Drive *drive = markedDrive();
    const QList<SpanPiece> pieces =
        drive ? drive->piecesOf(*m_fromMoment, *m_toMoment) : QList<SpanPiece>{};
    const bool elsewhere =
        pieces.size() == 1 &&
        drive->recordings[pieces.first().recording].row.id != m_nowPlaying->openRecording()->id;
    if (pieces.size() > 1 || elsewhere) {
        QCoro::Task<ClipResult> spanning = exportDriveSpan(folder, *drive, choice, cancel);
        result = co_await spanning;
    } else {
        QCoro::Task<ClipResult> cutting = exportOpenSpan(folder, choice, cancel);
        result = co_await cutting;
    }
    if (!self)
        co_return result;
    disconnect(closing);
    m_downloads->setIsDownloading(false);
    co_return clipOutcome(result, folder, choice);
}

QCoro::Task<ClipResult> Clips::exportOpenSpan(QString folder, int choice, ShellCancel cancel)
{
    QPointer<Clips> self(this);
    const FileListItem recording = *m_nowPlaying->openRecording();
    ClipRequest request;
    request.from = std::max(0.0, m_clipFrom);
    request.to = m_clipTo;
    request.track = choice - 1;
    request.layout = layoutOf(clipLayout());
    const double end = choice > 0 && choice <= m_nowPlaying->videoPlayers().size() &&
                               request.layout == ClipLayout::tracks
                           ? m_nowPlaying->videoPlayers()[choice - 1]->duration()
                           : m_player->duration();
    if (end > 0)
        request.end = end;
    request.destination = QDir(folder).filePath(clipFileName(choice));
    if (clipCaption())
        request.captions =
            clipCaptions(m_mediaData->gpsEvents(), recording.name, request.from, request.to);

    // What the player plays, or, when that is gone, the same made again beside the clip.
    request.input = m_nowPlaying->playedFile();
    QString scratch;
    if (fileBytes(request.input) == 0)
        scratch = WorkingFolder::workFolder(QStringLiteral("clip-source-") +
                                            QUuid::createUuid().toString(QUuid::Id128));
    if (!scratch.isEmpty()) {
        const OpenFiles files = OpenFiles::in(scratch, localCopy(recording));
        QCoro::Task<PlayableFile> making =
            makePlayable(m_card.conversions(), files, recording.name, recording.cardPath(),
                         [](const std::optional<QString> &) {});
        const PlayableFile playable = co_await making;
        request.input = playable.path;
    }
    ClipResult result;
    result.path = request.destination;
    result.outcome = ClipResult::Outcome::failed;
    if (!self)
        co_return result;
    QCoro::Task<ClipResult> exporting = korvane::exportClip(
        m_card.tools(), request,
        [self](int percent) {
            if (self && self->m_notifications->downloadMessage())
                self->m_notifications->setDownloadMessage(
                    tr("증거 영상 만드는 중... %1%").arg(percent));
        },
        cancel);
    result = co_await exporting;
    if (self && result.outcome == ClipResult::Outcome::saved && clipReport()) {
        const EvidenceSource source{
            recording.name, localCopy(recording),
            request.input,  recordingStart(recording.name).value_or(QDateTime()),
            result.start,   std::min(request.to, request.end)};
        QCoro::Task<EvidenceReportResult> reporting =
            writeEvidenceReport(m_card.tools(), result.path, {source}, reportName(result.path));
        const EvidenceReportResult report = co_await reporting;
        result.detail = report.path;
    }
    if (!scratch.isEmpty())
        WorkingFolder::deleteDirectory(scratch);
    co_return result;
}

ClipResult Clips::clipOutcome(const ClipResult &result, QString folder, int choice)
{
    using Outcome = ClipResult::Outcome;
    m_notifications->setDownloadMessage(std::nullopt);
    switch (result.outcome) {
    case Outcome::saved:
        appLog(logModel, "[AppViewModel] clip saved:", result.path);
        m_notifications->setSaved(
            clipReport() && result.detail.isEmpty()
                ? tr("증거 영상 %1 을(를) %2에 저장했지만 보고서는 쓰지 못했습니다.")
                      .arg(QFileInfo(result.path).fileName(), SaveFolders::shownPath(folder))
            : clipReport()
                ? tr("증거 영상 %1 과(와) 보고서 %2 를 %3에 저장했습니다.")
                      .arg(QFileInfo(result.path).fileName(), QFileInfo(result.detail).fileName(),
                           SaveFolders::shownPath(folder))
                : tr("증거 영상 %1 을(를) %2에 저장했습니다.")
                      .arg(QFileInfo(result.path).fileName(), SaveFolders::shownPath(folder)),
            folder);
        break;
    case Outcome::cancelled:
        appLog(logModel, "[AppViewModel] clip cancelled");
        break;
    case Outcome::noFont:
        m_notifications->setAlertMessage(
            tr("자막에 쓸 한글 글꼴이 없어 증거 영상을 만들지 못했습니다. "
               "fonts-noto-cjk 를 설치해 주세요."));
        break;
    case Outcome::noSuchChannel:
        m_notifications->setAlertMessage(tr("채널%1 영상이 없는 녹화파일입니다.").arg(choice));
        break;
    case Outcome::nothingToCut:
    case Outcome::failed:
    case Outcome::notWritten:
        m_notifications->setAlertMessage(
            tr("증거 영상 %1 을(를) 저장하지 못했습니다.").arg(QFileInfo(result.path).fileName()));
        break;
    }
    return result;
}

void Clips::exportClip(const QUrl &folder)
{
    // A folder without a local path would be the program's own working folder.
    if (folder.isLocalFile() && !folder.toLocalFile().isEmpty())
        exportClipInto(folder.toLocalFile());
}

QCoro::Task<bool> Clips::exportGpxInto(QString folder)
{
    if (!m_nowPlaying->openRecording())
        co_return false;
    QPointer<Clips> self(this);
    const FileListItem recording = *m_nowPlaying->openRecording();
    // The records are read again from the copy: the model keeps them placed on the time axis,
    // the route wants them as recorded.
    QCoro::Task<MediaRecords> reading =
        inBackground([path = localCopy(recording)] { return extractMediaRecords(path); });
    const MediaRecords records = co_await reading;
    if (!self)
        co_return false;
    const QString base = QFileInfo(savedFileName(recording.name)).baseName();
    QString name = suffixedFileName(base + QStringLiteral(".gpx"), QString());
    if (gpxPointCount(records) == 0) {
        m_notifications->setAlertMessage(
            tr("이 영상에는 GPS 기록이 없어 경로를 저장하지 않았습니다."));
        co_return false;
    }
    // Written whole in the working folder, then given the first free name in the folder.
    const QString work = WorkingFolder::workFolder(QStringLiteral("route"));
    QSaveFile file(work + name);
    bool saved = !work.isEmpty() && file.open(QIODevice::WriteOnly) &&
                 file.write(gpxTrack(records, base)) >= 0 && file.commit();
    if (saved) {
        const SavedFile placed =
            co_await saveNewFile(work + name, QDir(folder).filePath(name), Transfer::move);
        if (!self)
            co_return false;
        saved = !placed.path.isEmpty();
        if (saved)
            name = QFileInfo(placed.path).fileName();
        else
            appLog(logModel, "[AppViewModel] exportGpx failed:", placed.error);
    } else {
        appLog(logModel, "[AppViewModel] exportGpx failed:", file.errorString());
    }
    if (saved)
        m_notifications->setSaved(
            tr("GPS 경로(%1)를 %2에 저장했습니다.").arg(name, SaveFolders::shownPath(folder)),
            folder);
    else
        m_notifications->setAlertMessage(tr("GPS 경로(%1)를 저장하지 못했습니다.").arg(name));
    co_return saved;
}

void Clips::exportGpx(const QUrl &folder)
{
    if (folder.isLocalFile() && !folder.toLocalFile().isEmpty())
        exportGpxInto(folder.toLocalFile());
}

} // namespace korvane
