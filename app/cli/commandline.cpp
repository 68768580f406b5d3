#include "commandline.h"

#include "identity.h"
#include "processmanager.h"

namespace korvane::cli {

namespace {

// How many operands each command takes, and their name in messages.
struct CommandShape
{
    const char *name;
    const char *operand; // nullptr: none
};

constexpr CommandShape shapes[] = {
    {"metadata", "FILE"}, {"gpx", "FILE"}, {"card list", "CARD"}, {"setup", nullptr}};

QString quoted(const QString &text)
{
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

QString operandProblem(const CommandShape &shape, const QStringList &operands)
{
    const qsizetype wanted = shape.operand ? 1 : 0;
    if (operands.size() < wanted)
        return QStringLiteral("%1 needs a %2")
            .arg(QLatin1String(shape.name), QLatin1String(shape.operand));
    if (operands.size() > wanted)
        return QStringLiteral("unexpected argument ") + quoted(operands[wanted]);
    if (wanted == 1 && operands.first().isEmpty())
        return QStringLiteral("%1 is empty").arg(QLatin1String(shape.operand));
    return {};
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine line;
    QStringList words;
    bool typeGiven = false;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (optionsEnded || arg == u"-" || !arg.startsWith(QLatin1Char('-'))) {
            words.append(arg);
        } else if (arg == u"--") {
            optionsEnded = true;
        } else if (arg == u"-h" || arg == u"--help") {
            line.help = true;
        } else if (arg == u"--version") {
            line.version = true;
        } else if (arg == u"-v" || arg == u"--verbose") {
            line.verbose = true;
        } else if (arg == u"--type" || arg.startsWith(QLatin1String("--type="))) {
            typeGiven = true;
            if (arg.contains(QLatin1Char('=')))
                line.type = arg.section(QLatin1Char('='), 1);
            else if (i + 1 < arguments.size())
                line.type = arguments[++i];
            else if (line.problem.isEmpty())
                line.problem = QStringLiteral("--type needs a recording type");
        } else if (line.problem.isEmpty()) {
            line.problem = QStringLiteral("unknown option ") + quoted(arg);
        }
    }
    if (!line.problem.isEmpty())
        return line;
    if (words.isEmpty()) {
        line.problem = QStringLiteral("no command given");
        return line;
    }

    const CommandShape *shape = nullptr;
    qsizetype used = 1;
    for (const CommandShape &candidate : shapes) {
        const QStringList name = QString::fromLatin1(candidate.name).split(QLatin1Char(' '));
        if (words.mid(0, name.size()) == name) {
            shape = &candidate;
            used = name.size();
        }
    }
    if (!shape) {
        line.problem = words.first() == u"card"
                           ? QStringLiteral("card needs the subcommand list")
                           : QStringLiteral("unknown command ") + quoted(words.first());
        return line;
    }
    line.command = QString::fromLatin1(shape->name);
    line.operands = words.mid(used);
    line.problem = operandProblem(*shape, line.operands);
    if (line.problem.isEmpty() && typeGiven && line.command != u"card list")
        line.problem = QStringLiteral("--type belongs to card list");
    if (line.problem.isEmpty() && typeGiven && !ProcessManager::recordingTypes.contains(line.type))
        line.problem = QStringLiteral("unknown recording type %1 (normal, event, park, manual or "
                                      "saved)")
                           .arg(quoted(line.type));
    return line;
}

QString usageText()
{
    return QStringLiteral(
        "usage: korvane-cli [--verbose] metadata FILE\n"
        "       korvane-cli [--verbose] gpx FILE\n"
        "       korvane-cli [--verbose] card list [--type TYPE] CARD\n"
        "       korvane-cli [--verbose] setup\n"
        "       korvane-cli --help | --version\n"
        "\n"
        "Korvane's recording and card code for scripts. Data goes to standard output, messages\n"
        "to standard error.\n"
        "\n"
        "Commands:\n"
        "  metadata FILE   the records of the recording FILE as JSON: its channel table, GPS\n"
        "                  sentences and G-sensor samples, each with its time in the recording\n"
        "  gpx FILE        the GPS fixes of the recording FILE as a GPX 1.1 track\n"
        "  card list CARD  the recordings on CARD, an SD card device (/dev/sdX, read through the\n"
        "                  durnix that 'setup' installs) or a card image: one line per recording\n"
        "                  with its type, name and size in bytes, separated by tabs, then\n"
        "                  \"active channels: N\". Names show unprintable characters, the\n"
        "                  backslash and the slash as octal escapes (\\ooo). Like the viewer, it\n"
        "                  first copies durnix, ffmpeg and salvex into ~/.local/share/Korvane and\n"
        "                  the card's settings and list files into ~/.cache/Korvane.\n"
        "  setup           lets durnix read SD cards: installs it set-user-ID root after asking\n"
        "                  for the administrator's password (pkexec), then prints its path\n"
        "\n"
        "Options:\n"
        "  --type TYPE     card list: only the recordings of one folder: normal (continuous),\n"
        "                  event, park (parking), manual or saved (kept)\n"
        "  -v, --verbose   the viewer's log lines, on standard error\n"
        "  -h, --help      this text, on standard output\n"
        "  --version       name, version and build\n"
        "\n"
        "A FILE that holds no record gives an empty result and a note on standard error; so\n"
        "does a CARD read only in part, listing what could be read.\n"
        "\n"
        "Exit status: 0 done; 1 failed (the message says why); 2 usage error.\n");
}

QString synopsisText()
{
    const QString usage = usageText();
    return usage.left(usage.indexOf(QLatin1String("\n\n")) + 1) +
           QStringLiteral("Run 'korvane-cli --help' for the commands and options.\n");
}

QString versionText()
{
    return QStringLiteral("korvane-cli (%1) %2, build %3\n")
        .arg(appName(), appVersion(), appBuild());
}

} // namespace korvane::cli
