// The recovery path on arbitrary bytes: the scanner walks them as a broken recording, every
// video frame goes through the sample writer into the MP4 writer (in memory), and the bytes are
// also fed to the sample writer directly as Annex B video. No crash, no read out of bounds.
#include "mp4writer.h"
#include "samplewriter.h"
#include "scanner.h"

#include <array>
#include <cstddef>
#include <cstdint>
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

void recover(const uint8_t *data, size_t size)
{
    std::vector<uint8_t> file;
    auto mux = memory_writer(file);
    std::array<salvex::nal_sample_writer, 5> writers;
    for (auto &writer : writers)
        writer.mp4_add_track_video(mux.get(), 1920, 1080, false);

    salvex::mp4p_scanner scanner;
    salvex::mp4p_parm_t parm;
    parm.image = data;
    parm.size = size;
    scanner.mp4p_init(parm);
    scanner.mp4p_set_eidx(size);
    std::vector<uint8_t> frame_buffer(4096); // small, so that frames are cut to it too
    for (;;) {
        salvex::mp4p_frame_t frame;
        const int result =
            scanner.mp4p_read_frame(frame_buffer.data(), frame_buffer.size(), &frame);
        if (result == salvex::mp4p_frame_oversized)
            continue;
        if (result != salvex::mp4p_frame)
            break;
        if (frame.len > frame_buffer.size())
            __builtin_trap();
        if (frame.type == salvex::frame_video && frame.channel < writers.size()) {
            const uint64_t length = salvex::mp4p_get_data_size(frame_buffer.data(), frame.len);
            if (length > frame.len)
                __builtin_trap();
            writers[frame.channel].mp4_h26x_write_nal(frame_buffer.data(), length, 3000);
        }
    }
    mux->MP4E_close();
}

void write_directly(const uint8_t *data, size_t size, bool hevc)
{
    std::vector<uint8_t> file;
    auto mux = memory_writer(file);
    salvex::nal_sample_writer writer;
    writer.mp4_add_track_video(mux.get(), 640, 480, hevc);
    // Twice, so that parameter sets seen before meet their slots again.
    writer.mp4_h26x_write_nal(data, size, 3000);
    writer.mp4_h26x_write_nal(data, size, 3000);
    for (const auto &set : mux->tracks().front().sps) {
        if (set.empty())
            __builtin_trap();
    }
    mux->MP4E_close();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    recover(data, size);
    write_directly(data, size, size > 0 && data[0] == 'H');
    return 0;
}
