#include "scanner.h"

#include "mp4/zeropairs.h"

#include <algorithm>
#include <cstring>

namespace salvex {

namespace {

constexpr char end_marker[] = {0, 0, 0, 1, 0x0c};
constexpr const char *metadata_tags[] = {"DAT00", "SHO00", "GPS00"};
constexpr uint64_t audio_bound = 1000;
constexpr uint64_t metadata_bound = 200;
constexpr uint64_t max_channel = 4;

// The unit header behind a 4-byte start code that a picture can begin with: an H.264 SPS,
// slice, SEI or delimiter, whatever its nal_ref_idc; or an H.265 VPS, SPS, delimiter, SEI or
// picture slice (two-byte header: layer 0, a temporal id).
bool picture_unit(uint8_t first, uint8_t second)
{
    if (first & 0x80)
        return false;
    const int h264 = first & 0x1f;
    if (h264 == 1 || h264 == 5 || h264 == 6 || h264 == 7 || h264 == 9)
        return true;
    if ((first & 1) || second < 1 || second > 7)
        return false;
    const int h265 = first >> 1;
    return h265 <= 9 || (h265 >= 16 && h265 <= 21) || h265 == 32 || h265 == 33 || h265 == 35 ||
           h265 == 39;
}

} // namespace

uint32_t get_4byte_bigendian(const uint8_t *p)
{
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

void mp4p_scanner::common_init(init_kind kind)
{
    m_initialised = true;
    m_media_seen = false;
    m_finished = false;
    m_state = state::idle;
    m_pending_start = 0;
    m_position = m_sidx;
    m_video = {};
    m_audio = {};
    m_metadata = {};
    if (kind == init_kind::full)
        m_mdat_size = 0;
}

int mp4p_scanner::mp4p_init(const mp4p_parm_t &parm)
{
    m_image = parm.image;
    m_size = parm.size;
    m_sidx = parm.sidx;
    m_eidx = parm.eidx;
    common_init(init_kind::full);
    return 1;
}

int mp4p_scanner::mp4p_set_eidx(uint64_t eidx)
{
    m_eidx = m_size == 0 ? 0 : std::min(eidx, m_size - 1);
    return 1;
}

int mp4p_scanner::mp4p_set_sidx(uint64_t sidx)
{
    m_sidx = m_eidx == 0 ? 0 : std::min(sidx, m_eidx - 1);
    common_init(init_kind::restart);
    return 1;
}

bool mp4p_scanner::bytes_at(uint64_t c, const char *bytes, size_t length) const
{
    return c + length <= m_size && std::memcmp(m_image + c, bytes, length) == 0;
}

bool mp4p_scanner::frame_start_at(uint64_t c) const
{
    return c + 6 <= m_size && m_image[c] == 0 && m_image[c + 1] == 0 && m_image[c + 2] == 0 &&
           m_image[c + 3] == 1 && picture_unit(m_image[c + 4], m_image[c + 5]);
}

uint64_t mp4p_scanner::end_marker_end(uint64_t c, uint64_t *channel) const
{
    if (!bytes_at(c, end_marker, 5))
        return 0;
    uint64_t n = 0;
    while (n <= max_channel && c + 5 + n < m_size && m_image[c + 5 + n] == 0xff)
        ++n;
    // A longer run is an encoder's own filler unit inside the picture: the dashcam numbers five
    // cameras at most. An H.265 unit of type 6 also begins 00 00 00 01 0C, then a temporal-id
    // byte of 1 to 7, which a filler unit never holds there (0xFF bytes, then its stop bit).
    if (n > max_channel ||
        (c + 5 + n < m_size && m_image[c + 5 + n] >= 1 && m_image[c + 5 + n] <= 7))
        return 0;
    *channel = n;
    return c + 10 + n;
}

bool mp4p_scanner::metadata_tag_at(uint64_t c) const
{
    for (const char *tag : metadata_tags) {
        if (bytes_at(c, tag, 5))
            return true;
        if (c + 7 <= m_size && m_image[c] == 0 && m_image[c + 1] == 0 && bytes_at(c + 2, tag, 5))
            return true;
    }
    return false;
}

std::optional<uint64_t> mp4p_scanner::metadata_length(uint64_t at) const
{
    if (at + 3 > m_size)
        return std::nullopt;
    uint64_t n = 0;
    for (uint64_t i = at; i < at + 3; ++i) {
        if (m_image[i] < '0' || m_image[i] > '9')
            return std::nullopt;
        n = n * 10 + static_cast<uint64_t>(m_image[i] - '0');
    }
    return n;
}

uint64_t mp4p_scanner::copy_out(uint64_t from, uint64_t length, uint8_t *dst, uint64_t cap) const
{
    // Never past the end of the image, never past the caller's buffer.
    const uint64_t available = from < m_size ? m_size - from : 0;
    const uint64_t n = std::min({length, available, cap});
    if (n > 0)
        std::memcpy(dst, m_image + from, n);
    return n;
}

int mp4p_scanner::deliver_audio(uint64_t c, uint8_t *dst, uint64_t cap, mp4p_frame_t *frame)
{
    frame->len = frame->picture_len = copy_out(m_pending_start, c - m_pending_start, dst, cap);
    frame->data = dst;
    frame->type = frame_audio;
    frame->channel = 0;
    ++m_audio.frames;
    m_audio.last_len = frame->len;
    m_state = state::idle;
    m_pending_start = 0;
    m_position = frame->next = c;
    m_media_seen = true;
    return frame->len > audio_bound ? mp4p_frame_oversized : mp4p_frame;
}

int mp4p_scanner::mp4p_read_frame(uint8_t *dst, uint64_t cap, mp4p_frame_t *frame)
{
    if (!m_initialised)
        return mp4p_not_initialised;
    if (m_finished)
        return mp4p_end;
    const uint64_t limit = std::min(m_size, m_eidx + 1);
    // The last 8 bytes are never examined; the first position at the limit ends the call.
    const auto stop = [&](uint64_t c) { return c + 8 < m_size ? mp4p_end_index : mp4p_end; };

    for (uint64_t c = m_position;; ++c) {
        if (c + 8 >= limit) {
            // A recording cut off after its sound still has that sound: the run goes to the end.
            if (m_state == state::audio && limit == m_size)
                return deliver_audio(m_size, dst, cap, frame);
            return stop(c);
        }

        if (m_state == state::video) {
            // Inside a picture only its end marker counts, and it begins with a pair of zeros,
            // which compressed video holds few of: jump from pair to pair.
            const uint64_t scan_end = limit - 8;
            const uint64_t candidate = mp4::find_zero_pair(m_image, scan_end + 1, c);
            if (candidate >= scan_end)
                return stop(scan_end);
            c = candidate;
            uint64_t channel = 0;
            const uint64_t end = end_marker_end(c, &channel);
            if (end == 0)
                continue;
            // Pictures are handed over where they stand: no copy, and no size bound.
            frame->data = m_image + m_pending_start;
            frame->len = std::min(end, m_size) - m_pending_start;
            frame->picture_len = c - m_pending_start;
            frame->type = frame_video;
            frame->channel = channel;
            if (channel < m_video.size()) {
                ++m_video[channel].frames;
                m_video[channel].last_len = frame->len;
            }
            m_state = state::idle;
            m_pending_start = 0;
            m_position = frame->next = end;
            m_media_seen = true;
            return mp4p_frame;
        }

        if (frame_start_at(c)) {
            if (m_state == state::audio)
                return deliver_audio(c, dst, cap, frame);
            m_state = state::video;
            m_pending_start = c;
            m_media_seen = true;
            continue;
        }

        if (metadata_tag_at(c)) {
            if (m_state == state::audio)
                return deliver_audio(c, dst, cap, frame);
            const uint64_t z = m_image[c] == 0 ? 2 : 0;
            const uint64_t payload = c + z + 8;
            const auto n = metadata_length(c + z + 5);
            if (n && payload + *n <= m_size) {
                frame->len = frame->picture_len = copy_out(payload, *n + 8, dst, cap);
                frame->data = dst;
                frame->type = frame_metadata;
                frame->channel = 0;
                ++m_metadata.frames;
                m_metadata.last_len = frame->len;
                m_state = state::idle;
                m_position = frame->next = payload + *n;
                m_media_seen = true;
                return frame->len > metadata_bound ? mp4p_frame_oversized : mp4p_frame;
            }
            if (n) {
                // A record that does not fit the image is skipped: the scan goes on after its tag.
                m_media_seen = true;
                c += z + 4;
                continue;
            }
            // Length characters that are not digits make no record: the bytes count as
            // unrecognised.
        } else if (bytes_at(c, "mdat", 4)) {
            if (c >= 4)
                m_mdat_size = get_4byte_bigendian(m_image + c - 4);
            m_media_seen = true;
            c += 3;
            continue;
        } else if (bytes_at(c, "moov", 4)) {
            m_finished = true;
            m_media_seen = true;
            return mp4p_end;
        }

        if (m_state != state::audio && m_media_seen) {
            m_state = state::audio;
            m_pending_start = c;
        }
    }
}

} // namespace salvex
