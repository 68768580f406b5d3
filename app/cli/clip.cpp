// korvane-cli clip FILE: an evidence clip of a recording, cut as the viewer cuts one.
#include "cli/commands.h"

#include "card/clipexport.h"
#include "card/conversions.h"
#include "card/toolset.h"
#include "card/workingfolder.h"
#include "cli/output.h"
#include "records/drives.h"
#include "records/mp4tracks.h"
#include "services/clipcaptions.h"
#include "services/playablefile.h"

#include <QCoroTask>
#include <QFileInfo>
#include <QTemporaryDir>

namespace korvane::cli {

namespace {

QString secondsText(double seconds)
{
    return QString::number(seconds, 'f', 3) + QStringLiteral(" s");
}

} // namespace

int clipRecording(const QString &input, const QString &output, double from, double to,
                  const ClipOptions &options, bool showProgress)
{
    const ShellCancel interrupted = clipInterruption();
    ToolSet tools;
    ProgressLine progress(showProgress);
    const QTemporaryDir scratch;
    // The seconds are those of the viewer's seek bar: the clip is cut from what the player plays.
    const std::optional<PlayableFile> made = playableInput(input, output, tools, scratch, progress);
    if (!made)
        return 1;
    const PlayableFile &playable = *made;
    const QString name = QFileInfo(input).fileName();
    std::optional<QString> problem;
    if (!playable.ok || WorkingFolder::fileSize(playable.path, false) == 0)
        problem = QStringLiteral("no playable picture could be made of it");
    else
        problem = QCoro::waitFor(Conversions(tools).playerProblem(playable.path));
    if (problem) {
        progress.clear();
        complain(QStringLiteral("cannot cut %1: %2").arg(input, *problem));
        return 1;
    }

    ClipRequest request;
    request.input = playable.path;
    request.from = from;
    request.to = to;
    request.track = options.channel - 1;
    request.layout = options.layout;
    const int lengthOf =
        options.layout == ClipLayout::tracks ? std::max(0, options.channel - 1) : 0;
    if (const std::vector<double> lengths = videoTrackDurations(playable.path);
        static_cast<int>(lengths.size()) > lengthOf)
        request.end = lengths[static_cast<size_t>(lengthOf)];
    request.destination = output;
    if (options.caption)
        request.captions = clipCaptions(fixesOnTimeAxis(input, playable.path), name, from, to);
    const ClipResult result = QCoro::waitFor(exportClip(
        tools, request,
        [&](int percent) {
            progress.show(QStringLiteral("cutting %1: %2%").arg(name).arg(percent));
        },
        interrupted));
    progress.clear();
    const int status = clipOutcome(
        result, input, QStringLiteral("%1 to %2").arg(secondsText(from), secondsText(to)), output,
        options.channel);
    if (status != 0 || !options.report)
        return status;
    progress.show(QStringLiteral("writing the report of ") + QFileInfo(result.path).fileName());
    EvidenceSource source{name,          input,
                          playable.path, recordingStart(name).value_or(QDateTime()),
                          result.start,  std::min(to, request.end)};
    const int reported = reportBeside(tools, result.path, {source});
    progress.clear();
    return reported;
}

} // namespace korvane::cli
