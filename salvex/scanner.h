#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace salvex {

// What the dashcam interleaves in its media data.
enum frame_type : int32_t
{
    frame_video = 0,
    frame_audio = 1,
    frame_metadata = 2
};

struct mp4p_frame_t
{
    uint64_t len = 0;     // bytes copied into the caller's buffer
    int32_t type = 0;     // frame_type
    uint64_t channel = 0; // video channel; 0 for audio and metadata
    uint64_t next = 0;    // position after the frame
};

struct mp4p_parm_t
{
    const uint8_t *image = nullptr;
    uint64_t size = 0;
    uint64_t sidx = 0;
    uint64_t eidx = 0;
};

// Results of mp4p_read_frame.
enum mp4p_result : int
{
    mp4p_not_initialised = 0,
    mp4p_end = 1,
    mp4p_end_index = 2,
    mp4p_frame = 3,
    mp4p_frame_oversized = 4,
};

struct mp4p_counts
{
    uint64_t frames = 0;
    uint64_t last_len = 0;
};

// Walks a raw dashcam recording and hands out its video, audio and metadata frames one call at a
// time, recognised by the dashcam's byte markers rather than by the (possibly missing) index.
class mp4p_scanner
{
public:
    int mp4p_init(const mp4p_parm_t &parm);
    int mp4p_set_eidx(uint64_t eidx);
    int mp4p_set_sidx(uint64_t sidx);
    int mp4p_read_frame(uint8_t *dst, uint64_t cap, mp4p_frame_t *frame);
    uint64_t mp4p_get_mdat_size() const { return m_mdat_size; }

    const std::array<mp4p_counts, 5> &video_counts() const { return m_video; }
    const mp4p_counts &audio_counts() const { return m_audio; }
    const mp4p_counts &metadata_counts() const { return m_metadata; }

private:
    enum class state
    {
        idle = 0,
        video = 3,
        audio = 4
    };
    enum class init_kind
    {
        full,
        restart
    };

    void common_init(init_kind kind);
    int deliver_audio(uint64_t c, uint8_t *dst, uint64_t cap, mp4p_frame_t *frame);
    uint64_t copy_out(uint64_t from, uint64_t length, uint8_t *dst, uint64_t cap) const;
    bool frame_start_at(uint64_t c) const;
    bool metadata_tag_at(uint64_t c) const;
    std::optional<uint64_t> metadata_length(uint64_t at) const;
    bool bytes_at(uint64_t c, const char *bytes, size_t length) const;

    const uint8_t *m_image = nullptr;
    uint64_t m_size = 0;
    uint64_t m_sidx = 0;
    uint64_t m_eidx = 0;
    bool m_initialised = false;
    bool m_patch_first_audio = false;
    bool m_media_seen = false;
    bool m_finished = false;
    uint64_t m_position = 0;
    state m_state = state::idle;
    uint64_t m_pending_start = 0;
    uint64_t m_mdat_size = 0;
    std::array<mp4p_counts, 5> m_video{};
    mp4p_counts m_audio;
    mp4p_counts m_metadata;
};

// The length of the picture data inside a delivered video frame: the frame is cut at the first
// three zero bytes at or after 70 % of its length.
uint64_t mp4p_get_data_size(const uint8_t *data, uint64_t len);

uint32_t get_4byte_bigendian(const uint8_t *p);

} // namespace salvex
