#pragma once

#include "mp4writer.h"
#include "spspatcher.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace salvex {

constexpr int h26x_malformed = -1;
constexpr int h26x_no_memory = -2;

// Turns Annex B video into MP4 samples on one track: parameter sets go into the track's decoder
// configuration, start codes become 4-byte lengths, the slices of one picture form one sample,
// key frames are marked. H.264 parameter-set ids are renumbered so that distinct sets never
// share an id.
class nal_sample_writer
{
public:
    // Adds the video track (90 kHz clock) and starts the writer on it: 0, or -2.
    int mp4_add_track_video(MP4E_mux_t *mux, int width, int height, bool is_hevc);
    // Writes every unit of `data`: 0, -1 (malformed, or parameter sets missing), -2, or the
    // MP4 writer's failure status. The first failure ends the call.
    int mp4_h26x_write_nal(const uint8_t *data, size_t length, uint32_t duration);
    void mp4_h26x_write_close();

private:
    int write_h264_unit(const uint8_t *unit, size_t size, uint32_t duration);
    int write_h265_unit(const uint8_t *unit, size_t size, uint32_t duration);
    int put_unit(const uint8_t *unit, size_t size, uint32_t duration, sample_kind kind);
    bool slice_passes_unchanged(const uint8_t *unit, size_t size) const;
    // A slice (`unit` as it came, `escaped` as it goes out) as a sample of the picture.
    int write_slice(const uint8_t *unit, size_t size, int type, const uint8_t *escaped,
                    size_t escaped_size, uint32_t duration);

    h264_sps_id_patcher_t m_patcher;
    MP4E_mux_t *m_mux = nullptr;
    int m_track = -1;
    bool m_is_hevc = false;
    bool m_need_vps = false;
    bool m_need_sps = false;
    bool m_need_pps = false;
    bool m_need_idr = false;
    // Work buffers, kept between units.
    std::vector<uint8_t> m_unescaped;
    std::vector<uint8_t> m_sample;
};

} // namespace salvex
