#include "recovery.h"

#include "mp4writer.h"
#include "samplewriter.h"
#include "scanner.h"
#include "soundframes.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace salvex {

namespace {

// Pictures are read where they stand in the input; only sound runs (a sound run over 1000 bytes
// is no sound) and metadata records are copied.
constexpr uint64_t frame_buffer_size = 4096;
constexpr uint64_t max_input_size = uint64_t{1} << 32;

// The input, whole, for both passes: the file's own pages mapped read-only. Copying hundreds of
// megabytes into fresh memory would cost more than everything else the tool does.
class image_buffer
{
public:
    image_buffer() = default;
    image_buffer(int fd, uint64_t size) : m_size(static_cast<size_t>(size))
    {
        void *p = mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        m_data = p == MAP_FAILED ? nullptr : static_cast<const uint8_t *>(p);
    }
    image_buffer(image_buffer &&other) noexcept { *this = std::move(other); }
    image_buffer &operator=(image_buffer &&other) noexcept
    {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        return *this;
    }
    ~image_buffer()
    {
        if (m_data)
            munmap(const_cast<uint8_t *>(m_data), m_size);
    }
    const uint8_t *get() const { return m_data; }
    explicit operator bool() const { return m_data != nullptr; }

private:
    const uint8_t *m_data = nullptr;
    size_t m_size = 0;
};

// A mapped input that another program cuts short while it is read raises SIGBUS: that is an
// input that could not be read, not a crash.
void input_vanished(int)
{
    static const char message[] = "cannot read input file\n";
    [[maybe_unused]] const ssize_t ignored = write(STDERR_FILENO, message, sizeof message - 1);
    _exit(1);
}

struct file_closer
{
    void operator()(std::FILE *f) const
    {
        if (f)
            std::fclose(f);
    }
};
using file_handle = std::unique_ptr<std::FILE, file_closer>;

// The state of one run.
channel_table g_channels;
std::array<uint64_t, 5> g_pass1_vid_frames;
std::unique_ptr<MP4E_mux_t> g_mux;
std::array<nal_sample_writer, 5> g_vid_wr;
std::FILE *g_out_file = nullptr;
int64_t g_out_position = -1; // where the output file stands, so that sequential writes need no seek
bool g_write_failed = false;

void redirect_stdout_to_null()
{
    const int null_device = open("/dev/null", O_WRONLY);
    if (null_device < 0)
        return;
    dup2(null_device, STDOUT_FILENO);
    close(null_device);
}

// The input whole in memory, or nothing with the reason already printed.
image_buffer read_input(const char *path, uint64_t *size)
{
    const int fd = open(path, O_RDONLY);
    // A folder opens and seeks too, to an end that stands for no bytes at all.
    struct stat st = {};
    const bool regular = fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const off_t end = regular ? lseek(fd, 0, SEEK_END) : -1;
    if (end <= 0) {
        if (fd >= 0)
            close(fd);
        std::cerr << "cannot read input file\n";
        return {};
    }
    *size = static_cast<uint64_t>(end);
    if (*size >= max_input_size) {
        close(fd);
        std::cerr << "input too large for current mp4parser indices\n";
        return {};
    }
    image_buffer image(fd, *size);
    close(fd);
    if (!image) {
        std::cerr << "cannot read input file\n";
        return {};
    }
    struct sigaction action = {};
    action.sa_handler = input_vanished;
    sigaction(SIGBUS, &action, nullptr);
    return image;
}

// Whether `path` may be deleted and written: nothing there, or a regular file that is not the
// input. The output is deleted before it is written and the side file truncated, so the input
// under either name would be lost, and a device or pipe replaced by a file.
bool writable_beside(const char *input, const std::string &path)
{
    struct stat target = {};
    if (stat(path.c_str(), &target) != 0)
        return errno == ENOENT;
    struct stat source = {};
    const bool same = stat(input, &source) == 0 && source.st_dev == target.st_dev &&
                      source.st_ino == target.st_ino;
    return S_ISREG(target.st_mode) && !same;
}

int write_callback(int64_t offset, const void *data, size_t size, std::FILE *file)
{
    if (!file) {
        g_write_failed = true;
        return 1;
    }
    if (offset != g_out_position && fseeko(file, offset, SEEK_SET) != 0) {
        g_out_position = -1;
        g_write_failed = true;
        return 1;
    }
    const size_t written = std::fwrite(data, 1, size, file);
    g_out_position = written == size ? offset + static_cast<int64_t>(size) : -1;
    if (written != size) {
        g_write_failed = true;
        return 1;
    }
    return 0;
}

void start_scan(mp4p_scanner &scanner, const uint8_t *image, uint64_t size)
{
    mp4p_parm_t parm;
    parm.image = image;
    parm.size = size;
    parm.sidx = 0;
    parm.eidx = 0;
    scanner.mp4p_init(parm);
    scanner.mp4p_set_eidx(size);
}

void count_frames(const uint8_t *image, uint64_t size, std::vector<uint8_t> &frame_buffer)
{
    g_pass1_vid_frames = {};
    mp4p_scanner scanner;
    start_scan(scanner, image, size);
    for (;;) {
        // Counting needs no frame bytes: a capacity of 0 skips the copies and changes no count,
        // since video frames are never over a size bound.
        mp4p_frame_t frame;
        const int result = scanner.mp4p_read_frame(frame_buffer.data(), 0, &frame);
        if (result == mp4p_frame_oversized)
            continue;
        if (result != mp4p_frame)
            break;
        if (frame.type == frame_video && frame.channel < 5)
            ++g_pass1_vid_frames[frame.channel];
    }
}

void report_main_channel()
{
    size_t main_channel = 0;
    for (size_t ch = 1; ch < 5; ++ch) {
        if (g_pass1_vid_frames[ch] > g_pass1_vid_frames[main_channel])
            main_channel = ch;
    }
    const channel_spec &spec = g_channels[main_channel];
    const double rate = spec.fps >= 1 && spec.fps <= 60 ? spec.fps : 30;
    const uint64_t count = g_pass1_vid_frames[main_channel];
    std::clog << "> main video ch=" << main_channel << " " << spec.width << "x" << spec.height
              << "@" << spec.fps << " frames=" << count << " duration\u2248"
              << static_cast<double>(count) / rate << "s"
              << "\n";
}

void write_frames(const uint8_t *image, uint64_t size, std::vector<uint8_t> &frame_buffer,
                  std::FILE *side_file)
{
    mp4p_scanner scanner;
    start_scan(scanner, image, size);
    sound_gatherer sound(side_file);
    for (;;) {
        mp4p_frame_t frame;
        const int result =
            scanner.mp4p_read_frame(frame_buffer.data(), frame_buffer.size(), &frame);
        if (result == mp4p_frame_oversized)
            continue;
        if (result != mp4p_frame)
            break;
        if (frame.type == frame_audio) {
            if (!sound.add_run(frame.data, frame.len))
                g_write_failed = true;
        } else if (frame.type == frame_video && frame.channel < 5 && frame.picture_len > 0) {
            // A picture the sample writer refuses is left out; the rest goes on.
            g_vid_wr[frame.channel].mp4_h26x_write_nal(frame.data, frame.picture_len);
        }
    }
}

// Closes the writers and the output: true when everything reached the file.
bool mux_term()
{
    for (nal_sample_writer &writer : g_vid_wr)
        writer.mp4_h26x_write_close();
    bool ok = true;
    if (g_mux) {
        ok = g_mux->MP4E_close() == 0;
        g_mux.reset();
    }
    if (g_out_file) {
        ok = std::fclose(g_out_file) == 0 && ok;
        g_out_file = nullptr;
    }
    return ok;
}

} // namespace

std::string change_extension(const std::string &path)
{
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    const size_t backslash = path.rfind('\\');
    const bool extension = dot != std::string::npos &&
                           (slash == std::string::npos || dot > slash) &&
                           (backslash == std::string::npos || dot > backslash);
    return (extension ? path.substr(0, dot) : path) + ".mp3";
}

void read_channel_options(int argc, const char *const *argv, channel_table &channels)
{
    if (argc < 5)
        return;
    for (int k = 3; k + 1 < argc;) {
        const char *name = argv[k];
        const char *value = argv[k + 1];
        const int n = std::strncmp(name, "--ch", 4) == 0 ? std::atoi(name + 4) : 0;
        const char *x = std::strchr(value, 'x');
        const char *at = std::strchr(value, '@');
        if (n >= 1 && n <= 5 && x && at && x < at) {
            const int width = std::atoi(value);
            const int height = std::atoi(x + 1);
            const int fps = std::atoi(at + 1);
            if (width > 0 && height > 0 && fps > 0) {
                channels[static_cast<size_t>(n - 1)] = {width, height, fps};
                k += 2;
                continue;
            }
        }
        ++k;
    }
}

int salvex_main(int argc, const char *const *argv)
{
    redirect_stdout_to_null();
    if (argc < 3) {
        std::cerr << "usage: salvex <broken.mp4> <fixed.mp4> [1920x1080@30 1920x1080@30 ...]\n";
        return 1;
    }
    std::clog << "> recovering...\n";

    uint64_t size = 0;
    const image_buffer image = read_input(argv[1], &size);
    if (!image)
        return 1;

    const std::string output = argv[2];
    if (!writable_beside(argv[1], output) || !writable_beside(argv[1], change_extension(output))) {
        std::cerr << "failed to open output file\n";
        return 1;
    }
    file_handle side_file(std::fopen(change_extension(output).c_str(), "wb"));

    g_channels = channel_table{};
    read_channel_options(argc, argv, g_channels);

    // The counting pass reads the whole input once more than the writing pass needs; it runs on
    // its own core beside the writing, and its line is printed before any later message.
    std::vector<uint8_t> counting_buffer(frame_buffer_size);
    std::thread counting([&] { count_frames(image.get(), size, counting_buffer); });
    bool reported = false;
    const auto report = [&] {
        if (!reported) {
            counting.join();
            report_main_channel();
            reported = true;
        }
    };
    std::vector<uint8_t> frame_buffer(frame_buffer_size);

    std::remove(output.c_str());
    g_out_file = std::fopen(output.c_str(), "wb");
    if (!g_out_file) {
        report();
        std::cerr << "failed to open output file\n";
        return 1;
    }
    g_out_position = 0;
    g_write_failed = false;
    g_mux = MP4E_mux_t::MP4E_open([](int64_t offset, const void *data, size_t bytes) {
        return write_callback(offset, data, bytes, g_out_file);
    });
    if (!g_mux) {
        report();
        std::cerr << "MP4E_open failed\n";
        mux_term();
        return 1;
    }
    for (size_t ch = 0; ch < g_vid_wr.size(); ++ch) {
        const channel_spec &spec = g_channels[ch];
        if (g_vid_wr[ch].mp4_add_track_video(g_mux.get(), spec.width ? spec.width : 1920,
                                             spec.height ? spec.height : 1080, spec.fps) != 0) {
            report();
            std::cerr << "mp4_add_track_video failed (ch=" << ch << ")\n";
            mux_term();
            return 1;
        }
    }

    write_frames(image.get(), size, frame_buffer, side_file.get());
    report();

    // A file that holds no picture of the dashcam's is no recording of it: an empty MP4 and
    // sound file would pass for a rebuild.
    uint64_t pictures = 0;
    for (const uint64_t count : g_pass1_vid_frames)
        pictures += count;
    if (pictures == 0) {
        mux_term();
        side_file.reset();
        std::remove(output.c_str());
        std::remove(change_extension(output).c_str());
        std::cerr << "no recording frames found in " << argv[1] << "\n";
        return 1;
    }

    const bool output_complete = mux_term();
    const bool side_complete = !side_file || std::fflush(side_file.get()) == 0;
    if (!output_complete || !side_complete || g_write_failed) {
        // The viewer judges by the output file, but a script must not take a cut file for whole.
        std::cerr << "failed to write the output file\n";
        return 1;
    }
    std::clog << "> recovery finished\n";
    std::clog.flush();
    return 0;
}

} // namespace salvex
