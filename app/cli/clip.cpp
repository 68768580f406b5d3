// korvane-cli clip: an evidence clip of a recording, cut as the viewer cuts one.
#include "cli/commands.h"

#include "base/argumentpaths.h"

#include "card/clipexport.h"
#include "card/conversions.h"
#include "card/toolset.h"
#include "card/workingfolder.h"
#include "cli/output.h"
#include "records/metadataextraction.h"
#include "records/mp4tracks.h"
#include "services/clipcaptions.h"
#include "services/mediadataviewmodel.h"
#include "services/playablefile.h"

#include <QCoroTask>
#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>

namespace korvane::cli {

namespace {

// The recording's GPS fixes on the time axis of its playable copy, as the viewer's player
// places them.
QList<GPSInfo> fixesOnTimeAxis(const QString &recording, const QString &playable)
{
    const std::vector<double> durations = videoTrackDurations(playable);
    MediaDataViewModel placed;
    if (placed.load(QString::fromUtf8(mediaRecordsJson(extractMediaRecords(recording))),
                    durations.empty() ? 0 : durations.front()))
        return {};
    return placed.gpsEvents();
}

// Ctrl+C, a closed terminal or a kill: ffmpeg runs in a process group of its own and would not
// hear them, so they end it here, and the clip's half-made files go with it.
ShellCancel interrupted;

void interrupt(int signal)
{
    interrupted.cancel();
    std::signal(signal, SIG_DFL); // a second one ends the command at once
}

QString secondsText(double seconds)
{
    return QString::number(seconds, 'f', 3) + QStringLiteral(" s");
}

} // namespace

int clipRecording(const QString &input, const QString &output, double from, double to, int channel,
                  bool caption, bool showProgress)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, interrupt);
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
    request.track = channel - 1;
    if (const std::vector<double> lengths = videoTrackDurations(playable.path);
        static_cast<int>(lengths.size()) > std::max(0, channel - 1))
        request.end = lengths[static_cast<size_t>(std::max(0, channel - 1))];
    request.destination = output;
    if (caption)
        request.captions = clipCaptions(fixesOnTimeAxis(input, playable.path), name, from, to);
    const ClipResult result = QCoro::waitFor(exportClip(
        tools, request,
        [&](int percent) {
            progress.show(QStringLiteral("cutting %1: %2%").arg(name).arg(percent));
        },
        interrupted));
    progress.clear();

    using Outcome = ClipResult::Outcome;
    switch (result.outcome) {
    case Outcome::saved:
        writeOut(userPath(result.path) + '\n');
        return 0;
    case Outcome::noFont:
        complain(QStringLiteral("no font with Hangul for the caption: install fonts-noto-cjk"));
        break;
    case Outcome::noSuchChannel:
        complain(QStringLiteral("%1 has no camera %2").arg(input).arg(channel));
        break;
    case Outcome::nothingToCut:
        complain(QStringLiteral("%1 has no picture from %2 to %3")
                     .arg(input, secondsText(from), secondsText(to)));
        break;
    case Outcome::cancelled:
        complain(QStringLiteral("interrupted: %1 not written").arg(output));
        return 130; // as a shell reports a command ended by Ctrl+C
    case Outcome::failed:
        complain(QStringLiteral("cannot cut %1: %2").arg(input, result.detail));
        break;
    case Outcome::notWritten:
        complain(QStringLiteral("cannot write %1: %2").arg(output, result.detail));
        break;
    }
    return 1;
}

} // namespace korvane::cli
