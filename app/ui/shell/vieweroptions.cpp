#include "ui/shell/vieweroptions.h"

#include "base/usagetext.h"

#include <QFileInfo>

#include <optional>

namespace korvane {

namespace {

// Qt's own options that take a value; they are Qt's to read.
const QStringList qtOptionsWithValue = {
    QStringLiteral("-platform"),      QStringLiteral("-platformpluginpath"),
    QStringLiteral("-platformtheme"), QStringLiteral("-plugin"),
    QStringLiteral("-qmljsdebugger"), QStringLiteral("-display"),
    QStringLiteral("-geometry"),      QStringLiteral("-style"),
    QStringLiteral("-name"),          QStringLiteral("-title")};

// The value of an option given as "--name VALUE" or "--name=VALUE"; none when it is missing.
std::optional<QString> optionValue(const QStringList &arguments, qsizetype &at, const QString &name)
{
    const QString &argument = arguments[at];
    if (argument.startsWith(name + QLatin1Char('=')))
        return argument.mid(name.size() + 1);
    if (at + 1 >= arguments.size())
        return std::nullopt;
    return arguments[++at];
}

} // namespace

ViewerOptions parseViewerOptions(const QStringList &arguments)
{
    ViewerOptions options;
    for (qsizetype at = 0; at < arguments.size() && options.problem.isEmpty(); ++at) {
        const QString &argument = arguments[at];
        if (argument == u"--help" || argument == u"-h") {
            options.help = true;
        } else if (argument == u"--version") {
            options.version = true;
        } else if (argument == u"--card" || argument.startsWith(u"--card=")) {
            const auto value = optionValue(arguments, at, QStringLiteral("--card"));
            if (!value || value->isEmpty())
                options.problem = QStringLiteral("--card needs a card image");
            else
                options.cardImage = QFileInfo(*value).absoluteFilePath();
        } else if (argument == u"--card-volume" || argument.startsWith(u"--card-volume=")) {
            const auto value = optionValue(arguments, at, QStringLiteral("--card-volume"));
            if (!value || value->isEmpty())
                options.problem = QStringLiteral("--card-volume needs a folder");
            else
                options.cardVolume = QFileInfo(*value).absoluteFilePath();
        } else if (argument == u"--lang" || argument.startsWith(u"--lang=")) {
            const auto value = optionValue(arguments, at, QStringLiteral("--lang"));
            if (!value || (*value != u"ko" && *value != u"en"))
                options.problem = QStringLiteral("--lang takes ko or en");
            else
                options.language = *value;
        } else if (qtOptionsWithValue.contains(argument)) {
            ++at;
        } else if (argument.startsWith(u"-") && argument.size() > 1 &&
                   !argument.startsWith(u"--")) {
            // Qt's switches without a value (-reverse, -nograb, ...).
        } else {
            options.problem = QStringLiteral("unknown argument '%1'").arg(argument);
        }
    }
    if (options.problem.isEmpty() && !options.cardVolume.isEmpty() && options.cardImage.isEmpty())
        options.problem = QStringLiteral("--card-volume goes with --card");
    if (options.problem.isEmpty() && !options.cardImage.isEmpty()) {
        const QFileInfo image(options.cardImage);
        if (!image.exists())
            options.problem = QStringLiteral("no card image %1").arg(options.cardImage);
        else if (image.isDir())
            options.problem =
                QStringLiteral("%1 is a folder, not a card image").arg(options.cardImage);
    }
    if (options.problem.isEmpty() && !options.cardVolume.isEmpty() &&
        !QFileInfo(options.cardVolume).isDir())
        options.problem = QStringLiteral("no folder %1").arg(options.cardVolume);
    return options;
}

QString viewerUsageText()
{
    return QStringLiteral(
        "usage: korvane [--card IMAGE [--card-volume DIR]] [--lang ko|en]\n"
        "       korvane --help | --version\n"
        "\n"
        "Shows the recordings of a dashcam's SD card: inserted cards are noticed as they come and\n"
        "go (the first start asks once for the administrator's password, so that the card can be\n"
        "read).\n"
        "  --card IMAGE        show a card image (a copy of a whole card) as the inserted card\n"
        "  --card-volume DIR   a folder standing in for the card's FAT volume, where the\n"
        "                      settings and the GPS and G-sensor logs are written\n"
        "  --lang ko|en        the window's language (default: English on an English system,\n"
        "                      Korean otherwise)\n"
        "  -h, --help          show this help\n"
        "  --version           show the version\n"
        "\n"
        "Exit status: 0 when the viewer was closed, 1 when the card tools could not be set up,\n"
        "2 for a usage error.\n");
}

QString viewerSynopsisText()
{
    return synopsisOf(viewerUsageText(), QStringLiteral("korvane"), QStringLiteral("more"));
}

QString viewerVersionText()
{
    return versionLine(QStringLiteral("korvane"));
}

} // namespace korvane
