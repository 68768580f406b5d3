// korvane-cli repair: what opening a recording does before it plays, into a file of the user's.
#include "cli/commands.h"

#include "base/argumentpaths.h"

#include "card/conversions.h"
#include "card/savedfiles.h"
#include "card/toolset.h"
#include "cli/output.h"
#include "records/freebox.h"
#include "records/metadataextraction.h"
#include "records/protectedtracks.h"
#include "services/playablefile.h"

#include <QCoroTask>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace korvane::cli {

std::optional<QString> outputProblem(const QString &input, const QString &output)
{
    const QFileInfo target(output);
    if (isUnreadableName(output))
        return QStringLiteral("a new file's name must be UTF-8");
    if (target.isDir())
        return QStringLiteral("a folder");
    if (target.exists() && !target.isFile())
        return QStringLiteral("not a regular file");
    const QFileInfo folder(target.absolutePath());
    if (!folder.isDir())
        return QStringLiteral("no folder ") + target.path();
    struct stat in
    {
    }, out{};
    if (stat(QFile::encodeName(input).constData(), &in) == 0 &&
        stat(QFile::encodeName(output).constData(), &out) == 0 && in.st_dev == out.st_dev &&
        in.st_ino == out.st_ino)
        return QStringLiteral("it is INPUT");
    return std::nullopt;
}

std::optional<PlayableFile> playableInput(const QString &input, const QString &output,
                                          ToolSet &tools, const QTemporaryDir &scratch,
                                          ProgressLine &progress)
{
    if (const std::optional<QString> why = unreadableRecording(input)) {
        complain(QStringLiteral("cannot read %1: %2").arg(input, *why));
        return std::nullopt;
    }
    if (const std::optional<QString> why = outputProblem(input, output)) {
        complain(QStringLiteral("cannot write %1: %2").arg(output, *why));
        return std::nullopt;
    }
    // Encrypted pictures copied stay noise: nothing that plays can be made of them.
    if (hasProtectedTracks(input)) {
        complain(QStringLiteral("cannot use %1: its tracks are encrypted").arg(input));
        return std::nullopt;
    }
    progress.show(QStringLiteral("preparing the tools"));
    if (!QCoro::waitFor(tools.prepareTools())) {
        progress.clear();
        complain(tools.setupProblem());
        return std::nullopt;
    }
    if (!scratch.isValid()) {
        progress.clear();
        complain(QStringLiteral("cannot make a scratch folder: ") + scratch.errorString());
        return std::nullopt;
    }
    const OpenFiles files{QFileInfo(input).absoluteFilePath(), scratch.filePath("temp.mp4"),
                          scratch.filePath("playing.mp4")};
    const QString name = QFileInfo(input).fileName();
    progress.show(QStringLiteral("remuxing ") + name);
    return QCoro::waitFor(makePlayable(
        Conversions(tools), files, name, input, [&](const std::optional<QString> &rebuilding) {
            if (rebuilding)
                progress.show(QStringLiteral("rebuilding ") + name +
                              QStringLiteral(" with salvex"));
        }));
}

int repairRecording(const QString &input, const QString &output, bool showProgress)
{
    ToolSet tools;
    ProgressLine progress(showProgress);
    const QTemporaryDir scratch;
    const std::optional<PlayableFile> made = playableInput(input, output, tools, scratch, progress);
    if (!made)
        return 1;
    const PlayableFile &playable = *made;
    const QString name = QFileInfo(input).fileName();
    progress.show(QStringLiteral("checking ") + name);
    if (!playable.ok) {
        progress.clear();
        complain(QStringLiteral("cannot rebuild %1: it holds no channel table").arg(input));
        return 1;
    }
    // What is handed on as playable is what Korvane's own player shows.
    if (const std::optional<QString> problem =
            QCoro::waitFor(Conversions(tools).playerProblem(playable.path))) {
        progress.clear();
        complain(QStringLiteral("cannot repair %1: no playable picture could be made of it (%2)")
                     .arg(input, *problem));
        return 1;
    }
    // salvex and the remux leave the dashcam's frames behind: they go along in a free box.
    const std::optional<QByteArray> frames = extractMetadataFrames(input);
    if (frames && !frames->isEmpty() && extractMediaRecords(playable.path).isEmpty() &&
        !appendFreeBox(playable.path, *frames)) {
        progress.clear();
        complain(QStringLiteral("cannot write %1: the scratch copy could not take the "
                                "recording's records")
                     .arg(output));
        return 1;
    }
    progress.show(QStringLiteral("writing ") + output);
    // Never over a file that is there: the next free name instead, and the name printed.
    const SavedFile written = QCoro::waitFor(saveNewFile(playable.path, output, Transfer::move));
    progress.clear();
    if (written.path.isEmpty()) {
        complain(QStringLiteral("cannot write %1: %2").arg(output, written.error));
        return 1;
    }
    writeOut(userPath(written.path) + '\n');
    return 0;
}

} // namespace korvane::cli
