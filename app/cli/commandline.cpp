#include "cli/commandline.h"

#include "base/usagetext.h"
#include "card/cliplayout.h"
#include "card/processmanager.h"
#include "records/drives.h"

#include <cmath>
#include <utility>

namespace korvane::cli {

namespace {

// The operands each command takes, by their names in messages.
struct CommandShape
{
    const char *name;
    QStringList operands;
};

const CommandShape shapes[] = {{"metadata", {"FILE"}},
                               {"gpx", {"FILE"}},
                               {"repair", {"INPUT", "OUTPUT"}},
                               {"clip", {"FILE", "OUT"}},
                               {"card list", {"CARD"}},
                               {"card save", {"CARD", "DIR"}},
                               {"setup", {}}};

QString quoted(const QString &text)
{
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

bool optionNamed(const QString &arg, QStringView name)
{
    return arg == name || (arg.startsWith(name) && arg.mid(name.size()).startsWith(u'='));
}

QString operandProblem(const CommandShape &shape, const QStringList &operands)
{
    const qsizetype wanted = shape.operands.size();
    if (operands.size() < wanted)
        return QStringLiteral("%1 needs %2")
            .arg(QLatin1String(shape.name),
                 shape.operands.mid(operands.size()).join(QStringLiteral(" and ")));
    if (operands.size() > wanted)
        return QStringLiteral("unexpected argument ") + quoted(operands[wanted]);
    for (qsizetype i = 0; i < wanted; ++i) {
        if (operands[i].isEmpty())
            return QStringLiteral("%1 is empty").arg(shape.operands[i]);
    }
    return {};
}

// Seconds of a recording as written after --from or --to ("12", "12.5"); -2 when it is no
// such time.
double secondsValue(const QString &text)
{
    bool ok = false;
    const double seconds = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(seconds) && seconds >= 0 ? seconds : -2;
}

// The problem with clip's span, or nothing.
QString spanProblem(const CommandLine &line)
{
    for (const auto &[value, name] : {std::pair{line.from, "--from"}, std::pair{line.to, "--to"}}) {
        if (value == -1)
            return QStringLiteral("clip needs %1 SECONDS").arg(QLatin1String(name));
        if (value < 0)
            return QStringLiteral("%1 takes seconds of the recording, 0 or more (such as 12.5), "
                                  "or the dashcam's clock (such as \"2024-10-05 14:30:50\")")
                .arg(QLatin1String(name));
    }
    if (line.fromTime.isValid() != line.toTime.isValid())
        return QStringLiteral(
            "--from and --to take both seconds of a recording or both the dashcam's clock");
    if (line.fromTime.isValid() ? line.fromTime >= line.toTime : line.from >= line.to)
        return QStringLiteral("--from must be before --to");
    return {};
}

// The problem with the options given for a command, or nothing.
QString optionProblem(const CommandLine &line, bool typeGiven, bool channelGiven, bool spanGiven,
                      bool layoutGiven)
{
    const bool card = line.command.startsWith(QLatin1String("card "));
    if (typeGiven && !card)
        return QStringLiteral("--type belongs to card list and card save");
    if (channelGiven && line.command != u"card save" && line.command != u"clip")
        return QStringLiteral("--channel belongs to card save and clip");
    if ((spanGiven || line.caption || layoutGiven || line.report) && line.command != u"clip")
        return QStringLiteral("--from, --to, --caption, --layout and --report belong to clip");
    if (layoutGiven && !clipLayoutNamed(line.layout))
        return QStringLiteral("unknown layout %1 (tracks, grid or pip)").arg(quoted(line.layout));
    if (line.drives && line.command != u"card list")
        return QStringLiteral("--drives belongs to card list");
    if (line.json && !line.drives)
        return QStringLiteral("--json belongs to card list --drives");
    if (line.command == u"clip") {
        if (const QString problem = spanProblem(line); !problem.isEmpty())
            return problem;
    }
    const bool known = ProcessManager::recordingTypes.contains(line.type) ||
                       (line.type == u"all" && line.command == u"card save");
    if (typeGiven && !known)
        return QStringLiteral("unknown recording type %1 (normal, event, park, manual or saved%2)")
            .arg(quoted(line.type),
                 line.command == u"card save" ? QStringLiteral(", or all") : QString());
    if (channelGiven && (line.channel < 1 || line.channel > 5))
        return QStringLiteral("--channel takes a camera from 1 to 5");
    return {};
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine line;
    QStringList words;
    bool typeGiven = false;
    bool channelGiven = false;
    bool spanGiven = false;
    bool layoutGiven = false;
    bool optionsEnded = false;
    qsizetype i = 0;
    // An option's value: after its "=", or the next argument.
    const auto optionValue = [&](const QString &arg) {
        if (arg.contains(QLatin1Char('=')))
            return arg.section(QLatin1Char('='), 1);
        if (i + 1 < arguments.size())
            return arguments[++i];
        if (line.problem.isEmpty())
            line.problem = arg + QStringLiteral(" needs a value");
        return QString();
    };
    for (; i < arguments.size(); ++i) {
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
        } else if (arg == u"--caption") {
            line.caption = true;
        } else if (arg == u"--drives") {
            line.drives = true;
        } else if (arg == u"--json") {
            line.json = true;
        } else if (arg == u"--report") {
            line.report = true;
        } else if (optionNamed(arg, u"--layout")) {
            layoutGiven = true;
            line.layout = optionValue(arg);
        } else if (optionNamed(arg, u"--from") || optionNamed(arg, u"--to")) {
            spanGiven = true;
            const QString value = optionValue(arg);
            const bool from = optionNamed(arg, u"--from");
            if (const std::optional<QDateTime> time = driveTimeFromText(value.trimmed())) {
                (from ? line.fromTime : line.toTime) = *time;
                (from ? line.from : line.to) = 0;
            } else {
                (from ? line.from : line.to) = secondsValue(value);
            }
        } else if (optionNamed(arg, u"--type") || optionNamed(arg, u"--channel")) {
            const bool type = optionNamed(arg, u"--type");
            (type ? typeGiven : channelGiven) = true;
            const QString value = optionValue(arg);
            if (type) {
                line.type = value;
            } else {
                bool number = false;
                line.channel = value.toInt(&number);
                if (!number)
                    line.channel = -1;
            }
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
                           ? QStringLiteral("card needs the subcommand list or save")
                           : QStringLiteral("unknown command ") + quoted(words.first());
        return line;
    }
    line.command = QString::fromLatin1(shape->name);
    line.operands = words.mid(used);
    line.problem = operandProblem(*shape, line.operands);
    if (line.problem.isEmpty())
        line.problem = optionProblem(line, typeGiven, channelGiven, spanGiven, layoutGiven);
    return line;
}

QString usageText()
{
    return QStringLiteral(
        "usage: korvane-cli [--verbose] metadata FILE\n"
        "       korvane-cli [--verbose] gpx FILE\n"
        "       korvane-cli [--verbose] repair INPUT OUTPUT\n"
        "       korvane-cli [--verbose] clip FILE --from S --to S [--channel N] [--caption]\n"
        "                   [--layout LAYOUT] [--report] OUT\n"
        "       korvane-cli [--verbose] clip CARD|FOLDER --from TIME --to TIME [--channel N]\n"
        "                   [--caption] [--layout LAYOUT] [--report] OUT\n"
        "       korvane-cli [--verbose] card list [--type TYPE] [--drives [--json]] CARD\n"
        "       korvane-cli [--verbose] card save [--type TYPE] [--channel N] CARD DIR\n"
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
        "  repair INPUT OUTPUT\n"
        "                  makes the recording INPUT playable as the viewer does before it plays\n"
        "                  one (an unfinished \".mov\" is rebuilt with salvex, its sound merged\n"
        "                  back; any other is remuxed, and rebuilt if that fails), with its sound\n"
        "                  in AAC and the dashcam's GPS and G-sensor records kept, and writes it\n"
        "                  to OUTPUT; prints where it went\n"
        "  clip FILE OUT   an evidence clip of the recording FILE from --from to --to (seconds\n"
        "                  from its start, decimals allowed), written to OUT as one MP4 with\n"
        "                  every camera and the sound, or with --channel one camera and the\n"
        "                  sound; prints where it went. As recorded, the clip\n"
        "                  starts on the key frame at or before --from; with --caption the\n"
        "                  pictures are encoded anew from --from exactly, with the date and time,\n"
        "                  speed and position of every second at their bottom left\n"
        "  clip CARD|FOLDER OUT\n"
        "                  an evidence clip by the dashcam's clock: --from and --to as\n"
        "                  \"YYYY-MM-DD HH:MM:SS\", on a CARD (read as card list reads it) or\n"
        "                  a FOLDER of saved recordings. The span is cut from every recording of\n"
        "                  its drive it touches, exactly, and joined without a gap or a picture\n"
        "                  shown twice; the pictures are encoded anew\n"
        "  card list CARD  the recordings on CARD, an SD card device (/dev/sdX, read the way\n"
        "                  'setup' reports) or a card image: one line per recording\n"
        "                  with its type, name and size in bytes, separated by tabs, then\n"
        "                  \"active channels: N\". Names show unprintable characters, the\n"
        "                  backslash and the slash as octal escapes (\\ooo). With --drives, the\n"
        "                  trips instead: recordings whose times follow each other within 5\n"
        "                  seconds, across the continuous, event and manual folders (parking\n"
        "                  ones make drives of their own), one line each with its start, end,\n"
        "                  length in seconds, recordings, event recordings and \"driving\" or\n"
        "                  \"parking\", separated by tabs. Lengths the card does not tell are\n"
        "                  estimated from the next recording's time or the size; with --type, the\n"
        "                  drives that hold a recording of that folder. Like the viewer, it\n"
        "                  first copies durnix, ffmpeg and salvex into ~/.local/share/Korvane and\n"
        "                  the card's settings and list files into ~/.cache/Korvane.\n"
        "  card save CARD DIR\n"
        "                  saves the recordings on CARD into the folder DIR as the viewer's\n"
        "                  download does: whole as the card holds them (a \".mov\" also rebuilt\n"
        "                  into a \".mp4\" that plays), or with --channel one camera and the\n"
        "                  sound, named NAME_CHN.mp4; prints the path of every file saved. The\n"
        "                  names are the card's own, with what the folder cannot hold as \"_\"\n"
        "                  and a leading dot as \"_\". What the card claims must fit into DIR\n"
        "                  with 2 GiB (or 5 %) to spare; the rest is left. The recordings pass\n"
        "                  through a working folder of its own in ~/.cache, removed at the end.\n"
        "  setup           says which way SD cards are read and why: the package's durnix for\n"
        "                  the group plugdev, else UDisks2 (the administrator is asked)\n"
        "\n"
        "Options:\n"
        "  --type TYPE     card list and card save: only the recordings of one folder: normal\n"
        "                  (continuous), event, park (parking), manual or saved (kept); card\n"
        "                  save takes all too, its default\n"
        "  --drives        card list: the card's drives instead of its recordings\n"
        "  --json          card list --drives: the drives as JSON, each with its recordings\n"
        "  --channel N     card save and clip: camera N (1 to 5) with the sound, instead of every\n"
        "                  camera\n"
        "  --from S, --to S\n"
        "                  clip: where the clip starts and ends, in seconds of the recording\n"
        "                  clip: or the dashcam's clock, \"2024-10-05 14:30:50\", for a span\n"
        "                  of a CARD or FOLDER\n"
        "  --caption       clip: burns the date, time, speed and position into the pictures\n"
        "  --layout LAYOUT clip: tracks (each camera a video track of its own, the default), grid\n"
        "                  (every camera in one picture: 2 side by side, 2x2, three over two)\n"
        "                  or pip (the first camera large, the others inset); grid and pip are\n"
        "                  H.264 at most 1920 pixels wide that a web browser plays, the caption\n"
        "                  in a band below the cameras\n"
        "  --report        clip: also an evidence report, OUT's name with .html: the span, the\n"
        "                  recordings, a still of every camera at the span's strongest knock,\n"
        "                  the route, the speed, the G-sensor's peak, and the SHA-256 of the clip\n"
        "                  and of every recording as read; its path is printed after the clip's\n"
        "  -v, --verbose   the viewer's log lines, on standard error\n"
        "  -h, --help      this text, on standard output\n"
        "  --version       name, version and build\n"
        "\n"
        "On a terminal, card list, card save, repair and clip show what they are doing on one\n"
        "line of standard error. A FILE that holds no record gives an empty result and a note on\n"
        "standard error; so does a CARD read only in part, listing what could be read.\n"
        "\n"
        "OUTPUT, OUT and the files card save writes never replace a file: a name that is taken\n"
        "gives way to the first free one of NAME_2, NAME_3, ..., and that path is printed.\n"
        "OUTPUT and OUT may not be the recording read itself.\n"
        "\n"
        "Exit status: 0 done; 1 failed (the message says why; card save names every recording\n"
        "it could not save); 2 usage error.\n");
}

QString synopsisText()
{
    return synopsisOf(usageText(), QStringLiteral("korvane-cli"),
                      QStringLiteral("the commands and options"));
}

QString versionText()
{
    return versionLine(QStringLiteral("korvane-cli"));
}

} // namespace korvane::cli
