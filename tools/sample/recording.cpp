#include "recording.h"

#include "annexb.h"
#include "markers.h"
#include "metadataframes.h"
#include "mp3frames.h"
#include "process.h"
#include "route.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace sample {

namespace {

namespace fs = std::filesystem;

constexpr int ticksPerSecond = 30; // the dashcam interleaves its streams on a 1/30 s clock
constexpr int gSensorRate = 10;
constexpr size_t maxSoundRun = 1000;
constexpr int koreaUtcOffsetHours = 9; // the dashcam's clock runs on Korean time

// A scratch folder beside the output, so the finished file can be renamed into place.
class ScratchFolder
{
public:
    explicit ScratchFolder(const fs::path &beside)
    {
        std::string pattern = (beside / ".dashcam-sample-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a scratch folder in " + beside.string());
        m_path = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    fs::path file(const std::string &name) const { return m_path / name; }

private:
    fs::path m_path;
};

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

int frameCount(const ChannelSpec &spec, double seconds)
{
    return std::max(1, static_cast<int>(std::lround(seconds * spec.fps)));
}

// ffmpeg reading one of its own test sources, then `rest`.
std::vector<std::string> ffmpegFromTestSource(const std::string &source,
                                              const std::vector<std::string> &rest)
{
    std::vector<std::string> args{"ffmpeg", "-nostdin", "-v", "error", "-y",
                                  "-f",     "lavfi",    "-i", source};
    args.insert(args.end(), rest.begin(), rest.end());
    return args;
}

std::vector<std::string> encodeChannel(size_t channel, const ChannelSpec &spec,
                                       const SampleOptions &options, const ScratchFolder &scratch)
{
    const fs::path file = scratch.file("camera" + std::to_string(channel) + ".h264");
    const int frames = frameCount(spec, options.seconds);
    // Each camera gets its own tint so that the channels can be told apart on screen.
    const std::string source = "testsrc2=size=" + std::to_string(spec.width) + "x" +
                               std::to_string(spec.height) + ":rate=" + std::to_string(spec.fps) +
                               ",hue=h=" + std::to_string(72 * channel);
    std::vector<std::string> encoder{"-frames:v", std::to_string(frames),
                                     "-c:v",      "libx264",
                                     "-preset",   options.highProfile ? "veryfast" : "ultrafast"};
    if (options.highProfile)
        encoder.insert(encoder.end(), {"-profile:v", "high"});
    encoder.insert(encoder.end(), {"-bf", "0", "-g", std::to_string(spec.fps), "-crf",
                                   std::to_string(options.crf), "-x264-params", "slices=1",
                                   "-pix_fmt", "yuv420p", "-f", "h264", file.string()});
    runProgram(ffmpegFromTestSource(source, encoder));

    std::vector<std::string> pictures = dashcamAccessUnits(readFile(file));
    if (pictures.size() != static_cast<size_t>(frames))
        throw std::runtime_error("camera " + std::to_string(channel) + ": the encoder wrote " +
                                 std::to_string(pictures.size()) + " pictures instead of " +
                                 std::to_string(frames));
    for (const std::string &picture : pictures) {
        if (hasMetadataTag(picture))
            throw std::runtime_error(
                "camera " + std::to_string(channel) +
                ": a picture holds a metadata tag by chance; pick another size");
    }
    return pictures;
}

std::string encodeSound(const SampleOptions &options, const ScratchFolder &scratch)
{
    const fs::path file = scratch.file("sound.mp3");
    // A beep every second makes sound and pictures easy to line up by ear.
    runProgram(ffmpegFromTestSource("sine=frequency=440:beep_factor=4:sample_rate=8000:duration=" +
                                        std::to_string(options.seconds),
                                    {"-ac", "1", "-c:a", "libmp3lame", "-b:a", "16k", "-write_xing",
                                     "0", "-id3v2_version", "0", "-f", "mp3", file.string()}));
    return readFile(file);
}

// The end of a picture: a filler unit whose run of 0xFF bytes numbers the camera, then 0x80 and
// the camera's picture counter.
std::string endMarker(size_t channel, uint32_t counter)
{
    std::string marker("\0\0\0\1\x0c", 5);
    marker.append(channel, '\xff');
    marker += '\x80';
    for (int shift = 24; shift >= 0; shift -= 8)
        marker += static_cast<char>((counter >> shift) & 0xff);
    return marker;
}

struct Streams
{
    std::vector<std::vector<std::string>> pictures; // per camera
    std::vector<ChannelSpec> channels;
    std::string soundFile;
    std::vector<Mp3Frame> sound;
};

// The dashcam's media data: per tick every camera's due pictures, the sound due, the metadata due.
// `metadata` receives the same records in the same order for the finished shape's copy, and
// `soundUsed` the sound frames that made it in.
std::string interleave(const Streams &streams, const SampleOptions &options, std::string &metadata,
                       std::string &soundUsed)
{
    const size_t cameras = streams.channels.size();
    int ticks = static_cast<int>(std::lround(options.seconds * ticksPerSecond));
    for (size_t c = 0; c < cameras; ++c) {
        const long long lastTick =
            (static_cast<long long>(streams.pictures[c].size() - 1) * ticksPerSecond +
             streams.channels[c].fps - 1) /
            streams.channels[c].fps;
        ticks = std::max(ticks, static_cast<int>(lastTick) + 1);
    }
    const int seconds = (ticks + ticksPerSecond - 1) / ticksPerSecond;
    const std::vector<Fix> fixes =
        options.gps ? driveFixes(options.routeOffset + seconds) : std::vector<Fix>{};
    const std::vector<Acceleration> gSensor =
        gSensorSamples((ticks + 2) / (ticksPerSecond / gSensorRate), options.shock);
    const auto clock = startTime(options);

    std::string media;
    std::vector<size_t> nextPicture(cameras, 0);
    size_t nextSound = 0;
    for (int tick = 0; tick < ticks; ++tick) {
        bool pictureWritten = false;
        for (size_t c = 0; c < cameras; ++c) {
            const auto fps = static_cast<size_t>(streams.channels[c].fps);
            auto &k = nextPicture[c];
            while (k < streams.pictures[c].size() &&
                   k * ticksPerSecond <= static_cast<size_t>(tick) * fps) {
                media += streams.pictures[c][k];
                media += endMarker(c, static_cast<uint32_t>(k));
                ++k;
                pictureWritten = true;
            }
        }

        // Sound follows a picture directly, in runs the dashcam keeps under 1000 bytes.
        if (pictureWritten) {
            std::string run;
            while (nextSound < streams.sound.size()) {
                const Mp3Frame &frame = streams.sound[nextSound];
                const bool due =
                    static_cast<long long>(nextSound) * frame.samples * ticksPerSecond <=
                    static_cast<long long>(tick) * frame.sampleRate;
                if (!due || run.size() + frame.bytes.size() > maxSoundRun)
                    break;
                run += frame.bytes;
                ++nextSound;
            }
            if (const auto marker = findFrameMarker(run))
                throw std::runtime_error("the sound holds a frame marker by chance");
            media += run;
            soundUsed += run;
        }

        std::string records;
        if (tick == 0)
            records += channelTableRecord(streams.channels);
        if (options.gps && tick % ticksPerSecond == 0) {
            const int second = tick / ticksPerSecond;
            const auto utc =
                clock + std::chrono::seconds(second) - std::chrono::hours(koreaUtcOffsetHours);
            records += gpsRecord(
                rmcSentence(fixes[static_cast<size_t>(options.routeOffset + second)], utc));
        }
        if (tick % (ticksPerSecond / gSensorRate) == 0) {
            const int sample = tick / (ticksPerSecond / gSensorRate);
            records += shockRecord(gSensor[static_cast<size_t>(sample)],
                                   clock + std::chrono::seconds(sample / gSensorRate));
        }
        media += records;
        metadata += records;
    }
    return media;
}

std::string unfinishedRecording(const std::string &media)
{
    // ftyp, then the media data box whose size the dashcam never got to write.
    std::string file("\0\0\0\x18"
                     "ftypisom\0\0\x02\0isomavc1",
                     24);
    file.append("\0\0\0\0mdat", 8);
    return file + media;
}

void muxFinished(const Streams &streams, const SampleOptions &options, const std::string &soundUsed,
                 const std::string &metadata, const ScratchFolder &scratch, const fs::path &out)
{
    std::vector<std::string> args{"ffmpeg", "-nostdin", "-v", "error", "-y"};
    std::vector<std::string> maps;
    for (size_t c = 0; c < streams.pictures.size(); ++c) {
        std::string stream;
        for (const std::string &picture : streams.pictures[c])
            stream += picture;
        const fs::path file = scratch.file("camera" + std::to_string(c) + "-dashcam.h264");
        writeFile(file, stream);
        args.insert(args.end(), {"-framerate", std::to_string(streams.channels[c].fps), "-f",
                                 "h264", "-i", file.string()});
        maps.insert(maps.end(), {"-map", std::to_string(c) + ":v:0"});
    }
    if (options.sound) {
        const fs::path file = scratch.file("sound-used.mp3");
        writeFile(file, soundUsed);
        args.insert(args.end(), {"-f", "mp3", "-i", file.string()});
        maps.insert(maps.end(), {"-map", std::to_string(streams.pictures.size()) + ":a:0"});
    }
    args.insert(args.end(), maps.begin(), maps.end());
    // MP3 at 8 kHz is outside the MP4 profile ffmpeg checks by default; the dashcam writes it.
    args.insert(args.end(), {"-c", "copy", "-strict", "-1", "-f", "mp4", out.string()});
    runProgram(args);

    // The dashcam keeps its metadata frames in a top-level free box after the index.
    std::string box(4, '\0');
    const uint32_t size = static_cast<uint32_t>(8 + metadata.size());
    for (int i = 0; i < 4; ++i)
        box[static_cast<size_t>(i)] = static_cast<char>((size >> (24 - 8 * i)) & 0xff);
    box += "free";
    box += metadata;
    std::ofstream file(out, std::ios::binary | std::ios::app);
    file.write(box.data(), static_cast<std::streamsize>(box.size()));
    file.close();
    if (!file)
        throw std::runtime_error("cannot write " + out.string());
}

} // namespace

void writeRecording(const SampleOptions &options, const std::string &path)
{
    const fs::path target = fs::absolute(path);
    const ScratchFolder scratch(target.parent_path());

    Streams streams;
    streams.channels = options.usedChannels();
    for (size_t c = 0; c < streams.channels.size(); ++c)
        streams.pictures.push_back(encodeChannel(c, streams.channels[c], options, scratch));
    if (options.sound) {
        streams.soundFile = encodeSound(options, scratch);
        streams.sound = splitMp3Frames(streams.soundFile);
        for (const Mp3Frame &frame : streams.sound) {
            if (frame.sampleRate != 8000 || !frame.mono)
                throw std::runtime_error("the encoder did not write 8 kHz mono sound");
        }
    }

    std::string metadata;
    std::string soundUsed;
    const std::string media = interleave(streams, options, metadata, soundUsed);

    const fs::path written = scratch.file("recording");
    if (options.unfinished)
        writeFile(written, unfinishedRecording(media));
    else
        muxFinished(streams, options, soundUsed, metadata, scratch, written);
    fs::rename(written, target);
}

} // namespace sample
