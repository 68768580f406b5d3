#include "soundframes.h"

#include <cstring>
#include <vector>

namespace salvex {

namespace {

// FF E3 28 C4 (MPEG-2.5 layer III, 16 kbit/s, 8 kHz, mono), nine bytes of empty side
// information, the "Info" tag and its four flag bytes, all zero: no frame count, no byte count,
// no table of contents is claimed.
constexpr uint8_t info_frame_head[21] = {0xff, 0xe3, 0x28, 0xc4, 0,   0,   0, 0, 0, 0, 0,
                                         0,    0,    'I',  'n',  'f', 'o', 0, 0, 0, 0};

constexpr uint32_t kind_mask = 0xfffe0cc0; // sync, version, layer, sample rate, channel mode

uint32_t header_word(const uint8_t *p)
{
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

} // namespace

size_t mpeg_audio_frame_length(const uint8_t *header)
{
    static constexpr int mpeg1_kbps[15] = {0,   32,  40,  48,  56,  64,  80, 96,
                                           112, 128, 160, 192, 224, 256, 320};
    static constexpr int mpeg2_kbps[15] = {0,  8,  16, 24,  32,  40,  48, 56,
                                           64, 80, 96, 112, 128, 144, 160};
    static constexpr int rates[3] = {44100, 48000, 32000};
    if (header[0] != 0xff || (header[1] & 0xe0) != 0xe0)
        return 0;
    const int version = (header[1] >> 3) & 3; // 0 MPEG-2.5, 2 MPEG-2, 3 MPEG-1
    const int layer = (header[1] >> 1) & 3;   // 1 layer III
    const int bitrate = header[2] >> 4;
    const int rate = (header[2] >> 2) & 3;
    if (version == 1 || layer != 1 || bitrate == 0 || bitrate == 15 || rate == 3 ||
        (header[3] & 3) == 2)
        return 0;
    const int divisor = version == 3 ? 1 : version == 2 ? 2 : 4;
    const int sample_rate = rates[rate] / divisor;
    const int kbps = version == 3 ? mpeg1_kbps[bitrate] : mpeg2_kbps[bitrate];
    const int slot_bytes = (version == 3 ? 144000 : 72000) * kbps / sample_rate;
    return static_cast<size_t>(slot_bytes + ((header[2] >> 1) & 1));
}

bool sound_gatherer::write(const uint8_t *frame, size_t size)
{
    if (!m_file)
        return true;
    if (m_first && size >= sizeof info_frame_head && std::memcmp(frame, info_frame_head, 4) == 0) {
        std::vector<uint8_t> patched(frame, frame + size);
        std::memcpy(patched.data(), info_frame_head, sizeof info_frame_head);
        m_first = false;
        return std::fwrite(patched.data(), 1, size, m_file) == size;
    }
    m_first = false;
    return std::fwrite(frame, 1, size, m_file) == size;
}

bool sound_gatherer::add_run(const uint8_t *data, size_t size)
{
    bool written = true;
    for (size_t i = 0; i + 4 <= size;) {
        const size_t length = mpeg_audio_frame_length(data + i);
        const uint32_t kind = header_word(data + i) & kind_mask;
        if (length == 0 || length > size - i || (m_kind != 0 && kind != m_kind)) {
            ++i;
            continue;
        }
        m_kind = kind;
        written = write(data + i, length) && written;
        i += length;
    }
    return written;
}

} // namespace salvex
