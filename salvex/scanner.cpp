#include "scanner.h"

#include "zeropairs.h"

#include <algorithm>
#include <cstring>

namespace salvex {

namespace {

constexpr char end_marker[] = {0, 0, 0, 1, 0x0c};
constexpr char key_frame_start[] = {0, 0, 0, 1, 0x67};
constexpr char predicted_frame_start[] = {0, 0, 0, 1, 0x41};
constexpr const char *metadata_tags[] = {"DAT00", "SHO00", "GPS00"};
constexpr uint64_t audio_bound = 1000;
constexpr uint64_t metadata_bound = 200;
constexpr int max_channel_run = 255;

// An MPEG-2.5 layer III header for 8 kHz mono, an empty side-information block and an "Info"
// tag, so that players take the first audio frame for a stream information frame.
constexpr uint8_t mp3_head[20] = {0xff, 0xe3, 0x28, 0xc4, 0,   0,   0,   0, 0, 0,
                                  0,    0,    0,    'I',  'n', 'f', 'o', 0, 0, 0};

bool copy_mp3_head(uint8_t *data, uint64_t len)
{
    for (uint64_t i = 0; i + 20 < len; ++i) {
        if (data[i] == 0xff && data[i + 1] == 0xe3) {
            std::memcpy(data + i, mp3_head, sizeof mp3_head);
            return true;
        }
    }
    return false;
}

} // namespace

uint32_t get_4byte_bigendian(const uint8_t *p)
{
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

uint64_t mp4p_get_data_size(const uint8_t *data, uint64_t len)
{
    if (len < 4)
        return len;
    // Three zeros begin with a pair of zeros: jump from pair to pair.
    for (uint64_t i = len * 70 / 100; (i = find_zero_pair(data, len - 2, i)) < len - 3; ++i) {
        if (data[i + 2] == 0)
            return i;
    }
    return len;
}

void mp4p_scanner::common_init(init_kind kind)
{
    m_initialised = true;
    m_patch_first_audio = true;
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
    return bytes_at(c, key_frame_start, 5) || bytes_at(c, predicted_frame_start, 5);
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
    // The length's last three digits, read with atoi's rules (blanks, a sign, digits), so that
    // digits run on into a payload that begins with one. Reading stops at the image's end.
    uint64_t i = at;
    while (i < m_size && (m_image[i] == ' ' || (m_image[i] >= '\t' && m_image[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < m_size && (m_image[i] == '+' || m_image[i] == '-'))
        negative = m_image[i++] == '-';
    uint64_t n = 0;
    for (; i < m_size && m_image[i] >= '0' && m_image[i] <= '9'; ++i) {
        n = n * 10 + static_cast<uint64_t>(m_image[i] - '0');
        if (n > m_size)
            return std::nullopt;
    }
    if (negative && n != 0)
        return std::nullopt;
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
    frame->len = copy_out(m_pending_start, c - m_pending_start, dst, cap);
    frame->type = frame_audio;
    frame->channel = 0;
    if (m_patch_first_audio && copy_mp3_head(dst, frame->len))
        m_patch_first_audio = false;
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
        if (c + 8 >= limit)
            return stop(c);

        if (m_state == state::video) {
            // Inside a picture only its end marker counts, and it begins with a pair of zeros,
            // which compressed video holds few of: jump from pair to pair.
            const uint64_t scan_end = limit - 8;
            const uint64_t candidate = find_zero_pair(m_image, scan_end + 1, c);
            if (candidate >= scan_end)
                return stop(scan_end);
            c = candidate;
            if (!bytes_at(c, end_marker, 5))
                continue;
            uint64_t n = 0;
            while (n < max_channel_run && c + 5 + n < m_size && m_image[c + 5 + n] == 0xff)
                ++n;
            const uint64_t end = c + 10 + n;
            frame->len = copy_out(m_pending_start, end - m_pending_start, dst, cap);
            frame->type = frame_video;
            frame->channel = n;
            if (n < m_video.size()) {
                ++m_video[n].frames;
                m_video[n].last_len = frame->len;
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
            const auto n = metadata_length(c + 5 + z);
            if (n && payload + *n <= m_size) {
                frame->len = copy_out(payload, *n + 8, dst, cap);
                frame->type = frame_metadata;
                frame->channel = 0;
                ++m_metadata.frames;
                m_metadata.last_len = frame->len;
                m_state = state::idle;
                m_position = frame->next = payload + *n;
                m_media_seen = true;
                return frame->len > metadata_bound ? mp4p_frame_oversized : mp4p_frame;
            }
            // A negative length, or a record that would run past the image, is no record: its bytes
            // count as unrecognised, and the scan moves on.
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
