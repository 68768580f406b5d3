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
    // The frame's bytes: a video frame where it stands in the image (pictures are not copied,
    // whatever their size), audio and metadata in the caller's buffer.
    const uint8_t *data = nullptr;
    uint64_t len = 0;         // a video frame's whole length, else the bytes copied
    uint64_t picture_len = 0; // video: the picture, up to where the end marker begins
    int32_t type = 0;         // frame_type
    uint64_t channel = 0;     // video channel; 0 for audio and metadata
    uint64_t next = 0;        // position after the frame
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
// A picture starts at any unit an H.264 or H.265 access unit can begin with, behind a 4-byte
// start code, and ends with the dashcam's end marker (a filler unit whose run of at most four
// 0xFF bytes numbers the channel). Audio runs are handed out as they stand, the last one up to
// the end of the image.
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
    // The end of the picture's end marker at c, or 0 when none stands there.
    uint64_t end_marker_end(uint64_t c, uint64_t *channel) const;
    uint64_t copy_out(uint64_t from, uint64_t length, uint8_t *dst, uint64_t cap) const;
    bool frame_start_at(uint64_t c) const;
    bool metadata_tag_at(uint64_t c) const;
    // The record's length: the three digits after its tag; nothing when they are not digits.
    std::optional<uint64_t> metadata_length(uint64_t at) const;
    bool bytes_at(uint64_t c, const char *bytes, size_t length) const;

    const uint8_t *m_image = nullptr;
    uint64_t m_size = 0;
    uint64_t m_sidx = 0;
    uint64_t m_eidx = 0;
    bool m_initialised = false;
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

uint32_t get_4byte_bigendian(const uint8_t *p);

} // namespace salvex
