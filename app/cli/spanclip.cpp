// korvane-cli clip CARD|FOLDER --from TIME --to TIME: an evidence clip by the dashcam's clock,
// cut from every recording of the drive the span touches and joined.
#include "cli/commands.h"

#include "card/joinedclip.h"
#include "card/processmanager.h"
#include "card/workingfolder.h"
#include "cli/cardaccess.h"
#include "cli/output.h"
#include "records/drives.h"
#include "records/mp4tracks.h"
#include "services/clipcaptions.h"
#include "services/playablefile.h"
#include "services/workingcopy.h"

#include <QCoroTask>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>
#include <memory>

namespace korvane::cli {

namespace {

// The recordings a span is cut from: a folder's files, or a card's rows read into a working
// folder as they are needed, each made playable as the viewer opens it.
class SpanSources
{
public:
    SpanSources(ProgressLine &progress, const QTemporaryDir &scratch)
        : m_progress(progress), m_scratch(scratch)
    {
    }

    // Reads what `source` holds; false, with the reason told, when it cannot.
    bool read(const QString &source)
    {
        if (QFileInfo(source).isDir())
            return readFolder(source);
        return readCard(source);
    }

    const ToolSet &tools() const { return m_card ? m_card->tools() : m_tools; }

    QList<Drive> drives() const { return findDrives(m_rows, m_seconds); }

    // The playable file of a row, made the first time it is asked for; empty when it cannot be.
    QString playable(const FileListItem &row)
    {
        if (const auto made = m_playable.constFind(row.id); made != m_playable.cend())
            return *made;
        QString &made = m_playable[row.id];
        const QString copy = copyOf(row);
        if (copy.isEmpty())
            return made;
        const QString folder =
            m_scratch.filePath(QStringLiteral("piece-%1/").arg(m_playable.size()));
        QDir().mkpath(folder);
        m_progress.show(QStringLiteral("remuxing ") + row.name);
        const PlayableFile file = QCoro::waitFor(
            makePlayable(Conversions(tools()), OpenFiles::in(folder, copy), row.name, copy,
                         [&](const std::optional<QString> &rebuilding) {
                             if (rebuilding)
                                 m_progress.show(QStringLiteral("rebuilding ") + row.name);
                         }));
        m_progress.clear();
        if (file.ok && WorkingFolder::fileSize(file.path, false) > 0) {
            made = file.path;
            // Its length is known now, and may move the cuts the estimate put elsewhere.
            if (const std::optional<double> seconds = recordingSeconds(made))
                m_seconds[row.id] = *seconds;
        }
        return made;
    }

    // The file as read from the card, or the folder's own; empty when it could not be read.
    QString copyOf(const FileListItem &row)
    {
        if (!m_card)
            return m_paths.value(row.id);
        if (!hasOwnCopy(*m_card, row)) {
            m_progress.show(QStringLiteral("reading ") + row.name);
            QCoro::waitFor(m_card->readCardFile(row.cardPath()));
            m_progress.clear();
        }
        return hasOwnCopy(*m_card, row) ? localCopy(row) : QString();
    }

private:
    bool readFolder(const QString &folder)
    {
        m_progress.show(QStringLiteral("preparing the tools"));
        if (!QCoro::waitFor(m_tools.prepareTools())) {
            m_progress.clear();
            complain(m_tools.setupProblem());
            return false;
        }
        m_progress.clear();
        const QFileInfoList files =
            QDir(folder).entryInfoList({QStringLiteral("*.mp4"), QStringLiteral("*.mov"),
                                        QStringLiteral("*.MP4"), QStringLiteral("*.MOV")},
                                       QDir::Files | QDir::Readable, QDir::Name);
        for (const QFileInfo &file : files) {
            FileListItem row;
            row.id = QUuid::createUuid();
            row.name = file.fileName();
            // Kept copies in a folder of the user's are the drive itself.
            row.type = typeFromPath(row.name);
            if (row.type == u"saved")
                row.type = QStringLiteral("normal");
            row.size = file.size();
            m_rows.append(row);
            m_paths.insert(row.id, file.absoluteFilePath());
            if (const std::optional<double> seconds = recordingSeconds(file.absoluteFilePath()))
                m_seconds.insert(row.id, *seconds);
        }
        return true;
    }

    bool readCard(const QString &card)
    {
        if (const std::optional<QString> why = unreadableCard(card)) {
            complain(QStringLiteral("cannot read %1: %2").arg(card, *why));
            return false;
        }
        // The card's recordings pass through a working folder of this run's own, gone at its end.
        WorkingFolder::useWorkingFolder(m_scratch.filePath(QStringLiteral("card")));
        m_card = std::make_unique<ProcessManager>();
        m_progress.show(QStringLiteral("preparing the tools"));
        if (const std::optional<QString> why = prepareCard(*m_card, card)) {
            m_progress.clear();
            complain(*why);
            return false;
        }
        m_progress.show(QStringLiteral("reading ") + card);
        m_rows = QCoro::waitFor(m_card->loadCardFiles());
        m_progress.clear();
        if (m_card->bbox().isEmpty() && m_rows.isEmpty()) {
            complainUnread(*m_card, card);
            return false;
        }
        return true;
    }

    ProgressLine &m_progress;
    const QTemporaryDir &m_scratch;
    ToolSet m_tools;
    std::unique_ptr<ProcessManager> m_card;
    QList<FileListItem> m_rows;
    QHash<QUuid, QString> m_paths;
    QHash<QUuid, double> m_seconds;
    QHash<QUuid, QString> m_playable;
};

// The drive that plays `from`, and its pieces from `from` to `to`, each piece's recording made
// playable; the lengths so learnt may move the cuts, so the pieces are found again until every
// one is known.
struct SpanPlan
{
    Drive drive;
    QList<SpanPiece> pieces;
};

std::optional<SpanPlan> planSpan(SpanSources &sources, const QDateTime &from, const QDateTime &to)
{
    for (int round = 0; round < 8; ++round) {
        std::optional<SpanPlan> plan;
        // The drive that plays `from`, or the first that starts within the span.
        for (const Drive &drive : sources.drives()) {
            const QDateTime start = std::max(from, drive.start);
            if (start < to && drive.placeOf(start)) {
                plan = SpanPlan{drive, drive.piecesOf(start, to)};
                break;
            }
        }
        if (!plan || plan->pieces.isEmpty())
            return std::nullopt;
        bool learnt = false;
        for (const SpanPiece &piece : std::as_const(plan->pieces)) {
            const DriveRecording &recording = plan->drive.recordings[piece.recording];
            const QString playable = sources.playable(recording.row);
            if (playable.isEmpty())
                return std::nullopt;
            const std::optional<double> seconds = recordingSeconds(playable);
            learnt = learnt || (seconds && std::abs(*seconds - recording.seconds) > 1e-3);
        }
        if (!learnt)
            return plan;
    }
    return std::nullopt;
}

} // namespace

int clipSpan(const QString &source, const QString &output, const QDateTime &from,
             const QDateTime &to, const ClipOptions &options, bool showProgress)
{
    const ShellCancel interrupted = clipInterruption();
    if (const std::optional<QString> why = outputProblem(source, output)) {
        complain(QStringLiteral("cannot write %1: %2").arg(output, *why));
        return 1;
    }
    ProgressLine progress(showProgress);
    const QString caches = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    QDir().mkpath(caches);
    const QTemporaryDir scratch(caches + QStringLiteral("/korvane-cli-XXXXXX"));
    if (!scratch.isValid()) {
        complain(QStringLiteral("cannot make a working folder: ") + scratch.errorString());
        return 1;
    }
    SpanSources sources(progress, scratch);
    if (!sources.read(source))
        return 1;
    const QString span = QStringLiteral("%1 to %2").arg(driveTimeText(from), driveTimeText(to));
    const std::optional<SpanPlan> plan = planSpan(sources, from, to);
    if (!plan) {
        complain(QStringLiteral("%1 has no recording that plays %2 or it could not be read")
                     .arg(source, span));
        return 1;
    }
    // The clip holds what the drive holds of the span: say so when that is less.
    const QDateTime first =
        plan->drive.momentOf(plan->pieces.first().recording, plan->pieces.first().from);
    const QDateTime last =
        plan->drive.momentOf(plan->pieces.last().recording, plan->pieces.last().to);
    if (first > from || last < to)
        complain(QStringLiteral("note: the recordings hold %1 to %2 of the span")
                     .arg(driveTimeText(first), driveTimeText(last)));

    JoinedClipRequest request;
    request.layout = options.layout;
    request.track = options.channel - 1;
    request.destination = output;
    QList<EvidenceSource> reported;
    QList<CaptionLine> captions;
    double clipStart = 0;
    for (const SpanPiece &piece : plan->pieces) {
        const DriveRecording &recording = plan->drive.recordings[piece.recording];
        const FileListItem &row = recording.row;
        const QString playable = sources.playable(row);
        request.pieces.append({playable, piece.from, piece.to});
        reported.append(
            {row.name, sources.copyOf(row), playable, recording.start, piece.from, piece.to});
        if (options.caption)
            addPieceCaptions(captions,
                             clipCaptions(fixesOnTimeAxis(sources.copyOf(row), playable), row.name,
                                          piece.from, piece.to),
                             clipStart, piece.to - piece.from);
        clipStart += piece.to - piece.from;
    }
    if (options.caption)
        request.captions = captions;
    const ClipResult result = QCoro::waitFor(exportJoinedClip(
        sources.tools(), request,
        [&](int percent) {
            progress.show(QStringLiteral("cutting %1: %2%").arg(span).arg(percent));
        },
        interrupted));
    progress.clear();
    const int status = clipOutcome(result, source, span, output, options.channel);
    if (status != 0 || !options.report)
        return status;
    progress.show(QStringLiteral("writing the report of ") + QFileInfo(result.path).fileName());
    const int written = reportBeside(sources.tools(), result.path, reported);
    progress.clear();
    return written;
}

} // namespace korvane::cli
