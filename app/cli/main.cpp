#include "base/applog.h"
#include "base/argumentpaths.h"
#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/output.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>

using namespace korvane;
using namespace korvane::cli;

namespace {

int run(const CommandLine &line)
{
    if (line.command == u"metadata")
        return printMetadata(line.operands.first());
    if (line.command == u"gpx")
        return printGpx(line.operands.first());
    const bool showProgress = !line.verbose && errorsGoToTerminal();
    if (line.command == u"repair")
        return repairRecording(line.operands[0], line.operands[1], showProgress);
    if (line.command == u"clip") {
        const ClipOptions options{line.channel, line.caption,
                                  clipLayoutNamed(line.layout).value_or(ClipLayout::tracks),
                                  line.report};
        if (line.fromTime.isValid())
            return clipSpan(line.operands[0], line.operands[1], line.fromTime, line.toTime, options,
                            showProgress);
        return clipRecording(line.operands[0], line.operands[1], line.from, line.to, options,
                             showProgress);
    }
    if (line.command == u"card list")
        return printCardList(line.operands.first(), line.type,
                             !line.drives ? CardListing::recordings
                             : line.json  ? CardListing::drivesJson
                                          : CardListing::drives,
                             showProgress);
    if (line.command == u"card save")
        return saveCard(line.operands[0], line.operands[1],
                        line.type.isEmpty() ? QStringLiteral("all") : line.type, line.channel,
                        showProgress);
    return setUp();
}

// A run whose data did not reach standard output (a full disk, a closed pipe) failed.
int dataWritten(int status)
{
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return status;
    complain(QStringLiteral("cannot write to standard output: ") +
             QString::fromLocal8Bit(std::strerror(errno)));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const CommandLine line = parseCommandLine(commandLineArguments(argc, argv));
    if (line.help) {
        writeOut(usageText().toUtf8());
        return 0;
    }
    if (line.version) {
        writeOut(versionText().toUtf8());
        return 0;
    }
    if (!line.problem.isEmpty()) {
        complain(line.problem);
        writeError(synopsisText());
        return 2;
    }
    // Standard output is for data: the viewer's log lines only when asked, and beside it.
    setLogDestination(line.verbose ? LogDestination::standardError : LogDestination::nowhere);
    return dataWritten(run(line));
}
