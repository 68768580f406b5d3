#pragma once

#include "mp4writer.h"
#include "spspatcher.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace salvex {

constexpr int h26x_malformed = -1;
constexpr int h26x_no_memory = -2;

// Turns one camera's pictures (Annex B access units) into MP4 samples on one track: parameter
// sets go into the track's decoder configuration, start codes become 4-byte lengths, and the
// picture's slices form one sample, written whole, so that no sample's bytes ever cover another
// track's. SEI, delimiters, filler and other units that carry no picture are left out. Key
// frames are marked. The codec (H.264 or H.265) is learned from the first parameter set. H.264
// parameter-set ids are renumbered so that distinct sets never share an id; H.265 parameter sets
// stay in their pictures as well (an hev1 track), for the same reason.
class nal_sample_writer
{
public:
    // Adds the video track (90 kHz clock) and starts the writer on it: 0, or -2. Samples last
    // 90000 / fps ticks (fps from 1 to 60, else 30), the ticks of successive pictures rounded so
    // that none is lost over the recording.
    int mp4_add_track_video(MP4E_mux_t *mux, int width, int height, int fps);
    // Writes one picture: 0, -1 (malformed, or parameter sets missing), -2, or the MP4 writer's
    // failure status. Nothing of a picture that fails is written. Pictures before the first key
    // frame, and data without a picture, write nothing.
    int mp4_h26x_write_nal(const uint8_t *data, size_t length);
    void mp4_h26x_write_close();

private:
    enum class codec
    {
        unknown,
        h264,
        h265
    };

    bool learn_codec(const uint8_t *data, size_t length);
    int add_h264_unit(const uint8_t *unit, size_t size, bool *key);
    int add_h265_unit(const uint8_t *unit, size_t size, bool *key);
    bool slice_passes_unchanged(const uint8_t *unit, size_t size) const;
    // Adds a unit, with its 4-byte length, to the picture's sample; `unit` must stay valid until
    // the picture is written. `owned` copies it first.
    void append(const uint8_t *unit, size_t size, bool owned = false);
    uint32_t next_duration();

    h264_sps_id_patcher_t m_patcher;
    MP4E_mux_t *m_mux = nullptr;
    int m_track = -1;
    int m_fps = 30;
    uint64_t m_samples = 0;
    codec m_codec = codec::unknown;
    bool m_need_vps = false;
    bool m_need_sps = false;
    bool m_need_pps = false;
    bool m_need_idr = false;
    bool m_picture = false; // the picture being gathered has a slice
    // Work buffers, kept between pictures.
    std::vector<uint8_t> m_unescaped;
    std::vector<uint8_t> m_escaped;
    // The picture's sample as pieces, written one after the other when the picture is complete:
    // the units that pass unchanged are not copied.
    struct piece
    {
        const uint8_t *data;
        size_t size;
    };
    std::vector<piece> m_pieces;
    std::deque<std::array<uint8_t, 4>> m_lengths;
    std::deque<std::vector<uint8_t>> m_rewritten;
};

} // namespace salvex
