#include "options.h"

#include <charconv>
#include <filesystem>
#include <stdexcept>

namespace sample {

namespace {

int readInt(std::string_view text, const std::string &what)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        throw std::invalid_argument(what + ": not a whole number: " + std::string(text));
    return value;
}

ChannelSpec readChannel(const std::string &text, const std::string &what)
{
    const auto x = text.find('x');
    const auto at = text.find('@');
    if (x == std::string::npos || at == std::string::npos || at < x)
        throw std::invalid_argument(what + ": expected WIDTHxHEIGHT@FPS, got " + text);
    const ChannelSpec spec{readInt(std::string_view(text).substr(0, x), what),
                           readInt(std::string_view(text).substr(x + 1, at - x - 1), what),
                           readInt(std::string_view(text).substr(at + 1), what)};
    // Even sizes: the encoder's 4:2:0 pictures need them.
    if (spec.width < 16 || spec.height < 16 || spec.width % 2 || spec.height % 2 ||
        spec.width > 4096 || spec.height > 2304 || spec.fps < 1 || spec.fps > 60)
        throw std::invalid_argument(what + ": size or rate out of range: " + text);
    return spec;
}

RecordingType readType(const std::string &text)
{
    if (text == "normal")
        return RecordingType::normal;
    if (text == "event")
        return RecordingType::event;
    if (text == "park")
        return RecordingType::park;
    if (text == "manual")
        return RecordingType::manual;
    // The dashcam moves a recording it keeps into "saved" under its own name: an event's.
    if (text == "saved")
        return RecordingType::event;
    throw std::invalid_argument("--type: one of normal, event, park, manual, saved, got " + text);
}

char typeLetter(RecordingType type)
{
    switch (type) {
    case RecordingType::normal:
        return 'N';
    case RecordingType::event:
        return 'E';
    case RecordingType::park:
        return 'P';
    case RecordingType::manual:
        return 'M';
    }
    return 'N';
}

} // namespace

std::string usageText()
{
    return "usage: dashcam-sample [options] OUTPUT\n"
           "       dashcam-sample card [options] IMAGE\n"
           "       dashcam-sample --help | --version\n"
           "\n"
           "Writes a dashcam recording made from ffmpeg's test sources, or a whole card image, "
           "and\n"
           "prints the path it wrote on standard output; messages go to standard error. Nothing\n"
           "is left behind when it fails.\n"
           "\n"
           "OUTPUT is the recording to write, or an existing folder (or one ending in /) for a\n"
           "name like the dashcam's: N_20241005_143012.mp4, its letter after the type.\n"
           "  --channels N          cameras, 1 to 5 (default 2)\n"
           "  --ch<N> WxH@FPS       size and frame rate of camera N (1 to 5)\n"
           "  --seconds S           length in seconds, 0.5 to 3600 (default 10)\n"
           "  --type T              the recording's folder on the card: normal (continuous),\n"
           "                        event, park (parking), manual or saved (kept, named as an\n"
           "                        event); default normal. event and saved recordings carry a\n"
           "                        G-sensor shock\n"
           "  --shock               a shock in any recording\n"
           "  --time YYYYMMDD_HHMMSS  the dashcam's clock at the start (default 20241005_143012)\n"
           "  --no-sound            no sound track\n"
           "  --no-gps              no GPS sentences\n"
           "  --unfinished          the shape a power loss leaves (.mov): no index\n"
           "  --crf N               x264 quality, 0 to 51, lower is larger (default 23)\n"
           "  --high-profile        x264 high profile with CABAC (default: the fastest encode)\n";
}

SampleOptions parseOptions(const std::vector<std::string> &args)
{
    SampleOptions options;
    bool shockGiven = false;
    bool outputGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        const auto value = [&]() -> const std::string & {
            if (i + 1 >= args.size())
                throw std::invalid_argument(arg + " needs a value");
            return args[++i];
        };
        if (arg == "--channels") {
            options.channelCount = readInt(value(), arg);
            if (options.channelCount < 1 || options.channelCount > 5)
                throw std::invalid_argument("--channels: 1 to 5");
        } else if (arg.size() == 5 && arg.starts_with("--ch") && arg[4] >= '1' && arg[4] <= '5') {
            options.channels[static_cast<size_t>(arg[4] - '1')] = readChannel(value(), arg);
        } else if (arg == "--seconds") {
            options.seconds = readSeconds(value());
            if (!(options.seconds >= 0.5 && options.seconds <= 3600))
                throw std::invalid_argument("--seconds: 0.5 to 3600");
        } else if (arg == "--type") {
            options.type = readType(value());
        } else if (arg == "--shock") {
            shockGiven = true;
        } else if (arg == "--time") {
            options.time = value();
            if (options.time.size() != 15 || options.time[8] != '_')
                throw std::invalid_argument("--time: expected YYYYMMDD_HHMMSS");
            startTime(options); // validates the digits
        } else if (arg == "--no-sound") {
            options.sound = false;
        } else if (arg == "--no-gps") {
            options.gps = false;
        } else if (arg == "--unfinished") {
            options.unfinished = true;
        } else if (arg == "--crf") {
            options.crf = readInt(value(), arg);
            if (options.crf < 0 || options.crf > 51)
                throw std::invalid_argument("--crf: 0 to 51");
        } else if (arg == "--high-profile") {
            options.highProfile = true;
        } else if (arg.starts_with("-") && arg != "-") {
            throw std::invalid_argument("unknown option " + arg);
        } else if (!outputGiven) {
            options.output = arg;
            outputGiven = true;
        } else {
            throw std::invalid_argument("more than one OUTPUT given");
        }
    }
    if (!outputGiven)
        throw std::invalid_argument("no OUTPUT given");
    if (options.output.empty())
        throw std::invalid_argument("OUTPUT is empty");
    options.shock = shockGiven || options.type == RecordingType::event;
    return options;
}

double readSeconds(const std::string &text)
{
    size_t used = 0;
    double seconds = 0;
    try {
        seconds = std::stod(text, &used);
    } catch (const std::exception &) {
        used = 0;
    }
    if (used == 0 || used != text.size())
        throw std::invalid_argument("--seconds: not a number: " + text);
    return seconds;
}

std::chrono::sys_seconds startTime(const SampleOptions &options)
{
    using namespace std::chrono;
    const std::string_view t = options.time;
    const auto field = [&](size_t at, size_t length) {
        return readInt(t.substr(at, length), "--time");
    };
    const year_month_day date{year(field(0, 4)), month(static_cast<unsigned>(field(4, 2))),
                              day(static_cast<unsigned>(field(6, 2)))};
    const int hour = field(9, 2), minute = field(11, 2), second = field(13, 2);
    if (!date.ok() || hour > 23 || minute > 59 || second > 59)
        throw std::invalid_argument("--time: not a valid date and time: " + options.time);
    return sys_days(date) + hours(hour) + minutes(minute) + seconds(second);
}

std::string recordingPath(const SampleOptions &options)
{
    namespace fs = std::filesystem;
    std::error_code unknown; // a folder that cannot be looked into is refused when written
    const bool folder = options.output.ends_with('/') || fs::is_directory(options.output, unknown);
    if (!folder)
        return options.output;
    const std::string name = std::string(1, typeLetter(options.type)) + "_" + options.time +
                             (options.unfinished ? ".mov" : ".mp4");
    return (fs::path(options.output) / name).string();
}

} // namespace sample
