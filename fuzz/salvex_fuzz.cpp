// The recovery path on arbitrary bytes: the scanner walks them as a broken recording, every
// picture goes through the sample writer into the MP4 writer (in memory) and every sound run
// through the sound gatherer, and the bytes are also fed to the sample writer directly as Annex B
// video. No crash, no read out of bounds.
#include "mp4writer.h"
#include "samplewriter.h"
#include "scanner.h"
#include "soundframes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int64_t max_file = 1 << 24;

std::unique_ptr<salvex::MP4E_mux_t> memory_writer(std::vector<uint8_t> &file)
{
    return salvex::MP4E_mux_t::MP4E_open([&file](int64_t offset, const void *data, size_t size) {
        if (offset < 0 || offset + static_cast<int64_t>(size) > max_file)
            return 1;
        const size_t end = static_cast<size_t>(offset) + size;
        if (file.size() < end)
            file.resize(end);
        std::memcpy(file.data() + offset, data, size);
        return 0;
    });
}

void recover(const uint8_t *data, size_t size, std::FILE *side_file)
{
    std::vector<uint8_t> file;
    auto mux = memory_writer(file);
    std::array<salvex::nal_sample_writer, 5> writers;
    for (size_t ch = 0; ch < writers.size(); ++ch)
        writers[ch].mp4_add_track_video(mux.get(), 1920, 1080, static_cast<int>(ch * 15));

    salvex::mp4p_scanner scanner;
    salvex::mp4p_parm_t parm;
    parm.image = data;
    parm.size = size;
    scanner.mp4p_init(parm);
    scanner.mp4p_set_eidx(size);
    salvex::sound_gatherer sound(side_file);
    std::vector<uint8_t> frame_buffer(1024);
    for (;;) {
        salvex::mp4p_frame_t frame;
        const int result =
            scanner.mp4p_read_frame(frame_buffer.data(), frame_buffer.size(), &frame);
        if (result == salvex::mp4p_frame_oversized)
            continue;
        if (result != salvex::mp4p_frame)
            break;
        if (frame.type == salvex::frame_audio) {
            if (frame.len > frame_buffer.size())
                __builtin_trap();
            sound.add_run(frame.data, frame.len);
        } else if (frame.type == salvex::frame_video && frame.channel < writers.size()) {
            if (frame.data < data || frame.data + frame.len > data + size ||
                frame.picture_len > frame.len)
                __builtin_trap();
            writers[frame.channel].mp4_h26x_write_nal(frame.data, frame.picture_len);
        }
    }
    mux->MP4E_close();
}

void write_directly(const uint8_t *data, size_t size)
{
    std::vector<uint8_t> file;
    auto mux = memory_writer(file);
    salvex::nal_sample_writer writer;
    writer.mp4_add_track_video(mux.get(), 640, 480, 30);
    // Twice, so that parameter sets seen before meet their slots again.
    writer.mp4_h26x_write_nal(data, size);
    writer.mp4_h26x_write_nal(data, size);
    for (const auto &set : mux->tracks().front().sps) {
        if (set.empty())
            __builtin_trap();
    }
    mux->MP4E_close();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static std::FILE *const side_file = std::fopen("/dev/null", "wb");
    recover(data, size, side_file);
    write_directly(data, size);
    return 0;
}
