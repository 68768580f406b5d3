#include "cardimage.h"

#include "options.h"
#include "process.h"
#include "recording.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <vector>

namespace sample {

namespace {

namespace fs = std::filesystem;

constexpr uint64_t mib = 1 << 20;
constexpr uint64_t ext4Offset = 100 * mib; // where the dashcam keeps its ext4 file system
constexpr uint64_t fatStart = 1 * mib;

void writeText(const fs::path &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

struct PlannedRecording
{
    const char *folder;
    RecordingType type;
    std::string time;
    int channels;
    bool unfinished;
    bool sound;
    int routeOffset = 0; // a trip's recordings go on along the route where the one before ended
};

// Every folder, both shapes, one to five cameras, with and without sound.
const std::vector<PlannedRecording> plan{
    {"normal", RecordingType::normal, "20241005_143012", 2, false, true},
    {"normal", RecordingType::normal, "20241005_144012", 2, true, true},
    {"event", RecordingType::event, "20241005_143512", 3, false, true},
    {"park", RecordingType::park, "20241004_220000", 1, false, false},
    {"manual", RecordingType::manual, "20241005_145012", 5, true, true},
    {"saved", RecordingType::event, "20241003_081500", 4, false, true},
};

// The dashcam's name time ("20241006_090000") `offset` seconds after `from`.
std::string timeAfter(const std::string &from, int offset)
{
    SampleOptions at;
    at.time = from;
    const std::time_t t = std::chrono::system_clock::to_time_t(startTime(at)) + offset;
    std::tm fields{};
    gmtime_r(&t, &fields);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d_%H%M%S", &fields);
    return text;
}

// Two trips, each recording following the one before at once as the dashcam cuts them.
std::vector<PlannedRecording> tripPlan(double seconds)
{
    const int step = std::max(1, static_cast<int>(std::lround(seconds)));
    const std::string first = "20241006_090000", second = "20241006_093000";
    return {
        {"normal", RecordingType::normal, timeAfter(first, 0), 2, false, true, 0},
        {"normal", RecordingType::normal, timeAfter(first, step), 2, false, true, step},
        {"normal", RecordingType::normal, timeAfter(first, 2 * step), 2, true, true, 2 * step},
        // A shock in the second recording: the dashcam's event copy of the seconds around it.
        {"event", RecordingType::event, timeAfter(first, step + step / 2), 2, false, true,
         step + step / 2},
        {"normal", RecordingType::normal, timeAfter(second, 0), 2, false, true, 0},
        {"normal", RecordingType::normal, timeAfter(second, step), 2, false, true, step},
    };
}

std::string settingsText(int channels)
{
    static const char *const resolutions[] = {"3", "1", "1", "1", "1"};
    std::string text = "[bbox]\n";
    for (int k = 1; k <= 5; ++k)
        text += "ch" + std::to_string(k) + "_resol=" + (k <= channels ? resolutions[k - 1] : "0") +
                "\n";
    text += "rec_mode=1\nvolume=88\nmem_type=1\nuse_hybrid=1\nuse_secret=1\nmodel=KV-5\n"
            "version=1.2.7\nsafe_db_ver=20240901\nwifi_ssid_1=DASHCAM_5G\nwifi_sspw_1=12345678";
    return text;
}

uint64_t treeSize(const fs::path &root)
{
    uint64_t size = 0;
    for (const auto &entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file())
            size += entry.file_size();
    }
    return size;
}

} // namespace

void writeCardTree(const CardOptions &options, const std::string &folder)
{
    const fs::path root(folder);
    fs::create_directories(root / "cfg");
    writeText(root / "cfg" / "bbox.ini", settingsText(options.channels));
    writeText(root / "cfg" / "bbox.cfg", settingsText(options.channels));

    std::map<std::string, std::string> lists;
    for (const char *type : {"normal", "event", "park", "manual", "saved"})
        fs::create_directories(root / "mov" / type);
    std::vector<PlannedRecording> recordings = plan;
    if (options.trips) {
        const std::vector<PlannedRecording> trips = tripPlan(options.seconds);
        recordings.insert(recordings.end(), trips.begin(), trips.end());
    }
    for (const PlannedRecording &planned : recordings) {
        SampleOptions recording;
        recording.channelCount = planned.channels;
        recording.seconds = options.seconds;
        recording.type = planned.type;
        recording.shock = planned.type == RecordingType::event;
        recording.time = planned.time;
        recording.unfinished = planned.unfinished;
        recording.sound = planned.sound;
        recording.routeOffset = planned.routeOffset;
        recording.output = (root / "mov" / planned.folder).string() + "/";
        const std::string path = recordingPath(recording);
        writeRecording(recording, path);
        lists[planned.folder] += fs::path(path).filename().string() + "\n";
    }
    for (const auto &[type, names] : lists)
        writeText(root / "mov" / ("flist_" + type + ".txt"), names);
}

void writeCardImage(const CardOptions &options)
{
    const fs::path image = fs::absolute(options.image);
    // A scratch folder of this run's own beside the image, so that the image is renamed into place
    // whole, and two runs writing the same image never share their half-made files.
    std::string pattern = (image.parent_path() / ".dashcam-card-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a scratch folder beside " + image.string());
    const fs::path scratch = pattern;
    try {
        fs::path tree = options.from;
        if (options.from.empty()) {
            tree = scratch / "tree";
            writeCardTree(options, tree.string());
        }
        // Room for the files, their metadata and the journal, in whole MiB.
        const uint64_t ext4Size = (treeSize(tree) * 5 / 4 / mib + 48) * mib;
        const fs::path written = scratch / "card.img";
        std::ofstream(written, std::ios::binary).close();
        fs::resize_file(written, ext4Offset + ext4Size);

        const fs::path layout = scratch / "layout.sfdisk";
        writeText(layout, "label: dos\nstart=" + std::to_string(fatStart / 512) +
                              ", size=" + std::to_string((ext4Offset - fatStart) / 512) +
                              ", type=e\nstart=" + std::to_string(ext4Offset / 512) +
                              ", type=83\n");
        runProgram({"sfdisk", "--quiet", written.string()}, layout.string());
        // FAT16 whatever the image's size: mkfs.vfat picks FAT32 for large devices, which a
        // 99 MiB volume is too small for.
        runProgram({"mkfs.vfat", "-F", "16", "--offset", std::to_string(fatStart / 512), "-n",
                    "NO NAME", written.string(), std::to_string((ext4Offset - fatStart) / 1024)});
        runProgram({"mke2fs", "-q", "-F", "-t", "ext4", "-b", "4096", "-d", tree.string(), "-E",
                    "offset=" + std::to_string(ext4Offset), written.string(),
                    std::to_string(ext4Size / 1024) + "k"});
        fs::rename(written, image);
        if (!options.volume.empty())
            fs::create_directories(options.volume);
    } catch (...) {
        fs::remove_all(scratch);
        throw;
    }
    fs::remove_all(scratch);
}

} // namespace sample
