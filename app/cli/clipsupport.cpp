// What both kinds of clip on the command line share: the interruption, the outcome told, and
// the report.
#include "cli/clipsupport.h"

#include "base/argumentpaths.h"
#include "cli/output.h"

#include <QCoroTask>
#include <QDir>
#include <QFileInfo>

#include <csignal>

namespace korvane::cli {

namespace {

ShellCancel interrupted;

void interrupt(int signal)
{
    interrupted.cancel();
    std::signal(signal, SIG_DFL); // a second one ends the command at once
}

} // namespace

ShellCancel clipInterruption()
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, interrupt);
    return interrupted;
}

int clipOutcome(const ClipResult &result, const QString &source, const QString &span,
                const QString &output, int channel)
{
    using Outcome = ClipResult::Outcome;
    switch (result.outcome) {
    case Outcome::saved:
        writeOut(userPath(result.path) + '\n');
        return 0;
    case Outcome::noFont:
        complain(QStringLiteral("no font with Hangul for the caption: install fonts-noto-cjk"));
        break;
    case Outcome::noSuchChannel:
        complain(QStringLiteral("%1 has no camera %2").arg(source).arg(channel));
        break;
    case Outcome::nothingToCut:
        complain(QStringLiteral("%1 has no picture from %2").arg(source, span));
        break;
    case Outcome::cancelled:
        complain(QStringLiteral("interrupted: %1 not written").arg(output));
        return 130; // as a shell reports a command ended by Ctrl+C
    case Outcome::failed:
        complain(QStringLiteral("cannot cut %1: %2").arg(source, result.detail));
        break;
    case Outcome::notWritten:
        complain(QStringLiteral("cannot write %1: %2").arg(output, result.detail));
        break;
    }
    return 1;
}

int reportBeside(const ToolSet &tools, const QString &clip, const QList<EvidenceSource> &sources)
{
    const QFileInfo info(clip);
    const EvidenceReportResult report = QCoro::waitFor(writeEvidenceReport(
        tools, clip, sources,
        info.dir().filePath(info.completeBaseName() + QStringLiteral(".html"))));
    if (report.path.isEmpty()) {
        complain(QStringLiteral("cannot write the report of %1: %2").arg(clip, report.error));
        return 1;
    }
    writeOut(userPath(report.path) + '\n');
    return 0;
}

} // namespace korvane::cli
