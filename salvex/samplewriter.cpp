#include "samplewriter.h"

#include "bitstream.h"
#include "nalunits.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace salvex {

namespace {

enum h264_unit : int
{
    h264_slice = 1,
    h264_slice_partition_a = 2,
    h264_idr_slice = 5,
    h264_sps = 7,
    h264_pps = 8,
    h264_access_unit_delimiter = 9,
    h264_filler = 12,
};

enum h265_unit : int
{
    h265_first_key = 16,
    h265_last_key = 21,
    h265_vps = 32,
    h265_sps = 33,
    h265_pps = 34
};

// Work buffers only grow, so that a recording's frames reuse them without clearing.
void grow(std::vector<uint8_t> &buffer, size_t size)
{
    if (buffer.size() < size)
        buffer.resize(size);
}

} // namespace

int nal_sample_writer::mp4_add_track_video(MP4E_mux_t *mux, int width, int height, bool is_hevc)
{
    track_description info;
    info.object_type_indication = is_hevc ? 0x23 : 0x21;
    info.track_media_kind = e_video;
    info.time_scale = 90000;
    info.default_duration = 0;
    info.width = width;
    info.height = height;
    const int track = mux->MP4E_add_track(info);
    if (track < 0)
        return h26x_no_memory;
    *this = nal_sample_writer();
    m_mux = mux;
    m_track = track;
    m_is_hevc = is_hevc;
    m_need_vps = is_hevc;
    m_need_sps = m_need_pps = m_need_idr = true;
    return 0;
}

void nal_sample_writer::mp4_h26x_write_close()
{
    *this = nal_sample_writer();
}

int nal_sample_writer::mp4_h26x_write_nal(const uint8_t *data, size_t length, uint32_t duration)
{
    if (!m_mux)
        return h26x_malformed;
    try {
        for (const nal_unit &unit : split_nal_units(data, length)) {
            if (!m_is_hevc && unit.size > 0 && (unit.data[0] & 0x1f) == h264_access_unit_delimiter)
                return 0; // a delimiter ends the frame's data
            const int status = m_is_hevc ? write_h265_unit(unit.data, unit.size, duration)
                                         : write_h264_unit(unit.data, unit.size, duration);
            if (status != 0)
                return status;
        }
    } catch (const std::bad_alloc &) {
        return h26x_no_memory;
    }
    return 0;
}

int nal_sample_writer::put_unit(const uint8_t *unit, size_t size, uint32_t duration,
                                sample_kind kind)
{
    grow(m_sample, 4 + size);
    for (int i = 0; i < 4; ++i)
        m_sample[static_cast<size_t>(i)] = static_cast<uint8_t>(size >> (24 - 8 * i));
    std::memcpy(m_sample.data() + 4, unit, size);
    return m_mux->MP4E_put_sample(m_track, m_sample.data(), 4 + size, duration, kind);
}

bool nal_sample_writer::slice_passes_unchanged(const uint8_t *unit, size_t size) const
{
    // A slice whose PPS keeps its id and whose escapes are canonical comes out of the rewrite
    // byte for byte as it went in; most pictures of a recording are such slices, so they skip
    // the unescape-rewrite-escape round. The header must hold no escape byte, so that it can be
    // read as it stands.
    if (check_emulation_prevention(unit, size) != escaping::canonical)
        return false;
    bit_reader_t reader(unit + 1, size - 1);
    if (!reader.read_ue() || !reader.read_ue())
        return false;
    const auto pps_id = reader.read_ue();
    if (!pps_id || !m_patcher.keeps_pps_id(*pps_id) ||
        reader.position() >= reader.last_one_bit_end())
        return false;
    const size_t header_end = 1 + (reader.position() + 7) / 8;
    for (size_t i = 0; i + 2 < std::min(size, header_end + 2); ++i) {
        if (unit[i] == 0 && unit[i + 1] == 0 && unit[i + 2] == 3)
            return false;
    }
    return true;
}

int nal_sample_writer::write_h264_unit(const uint8_t *unit, size_t size, uint32_t duration)
{
    if (size == 0)
        return h26x_malformed;
    const int type = unit[0] & 0x1f;
    const bool slice =
        type == h264_slice || type == h264_slice_partition_a || type == h264_idr_slice;

    if (slice && slice_passes_unchanged(unit, size))
        return write_slice(unit, size, type, unit, size, duration);

    size_t escaped_size = 0;
    {
        grow(m_unescaped, size);
        const auto unescaped_size = remove_emulation_prevention(unit, size, m_unescaped.data());
        if (!unescaped_size)
            return h26x_malformed;
        std::optional<std::vector<uint8_t>> rewritten;
        switch (type) {
        case h264_sps:
            rewritten = m_patcher.patch_sps(m_unescaped.data(), *unescaped_size);
            break;
        case h264_pps:
            rewritten = m_patcher.patch_pps(m_unescaped.data(), *unescaped_size);
            break;
        case h264_slice:
        case h264_slice_partition_a:
        case h264_idr_slice:
            rewritten = m_patcher.patch_slice(m_unescaped.data(), *unescaped_size);
            break;
        default:
            rewritten.emplace(m_unescaped.begin(),
                              m_unescaped.begin() + static_cast<long>(*unescaped_size));
            break;
        }
        if (!rewritten)
            return h26x_malformed;
        grow(m_sample, 4 + escaped_capacity(rewritten->size()));
        escaped_size =
            insert_emulation_prevention(rewritten->data(), rewritten->size(), m_sample.data() + 4);
    }
    const uint8_t *escaped = m_sample.data() + 4;

    if (type == h264_sps) {
        const int status = m_mux->MP4E_set_sps(m_track, escaped, escaped_size);
        if (status != 0)
            return status;
        m_need_sps = false;
        return 0;
    }
    if (type == h264_pps) {
        if (m_need_sps)
            return h26x_malformed;
        const int status = m_mux->MP4E_set_pps(m_track, escaped, escaped_size);
        if (status != 0)
            return status;
        m_need_pps = false;
        return 0;
    }
    if (type == h264_filler)
        return 0;
    return write_slice(unit, size, type, escaped, escaped_size, duration);
}

int nal_sample_writer::write_slice(const uint8_t *unit, size_t size, int type,
                                   const uint8_t *escaped, size_t escaped_size, uint32_t duration)
{
    if (m_need_sps)
        return h26x_malformed;
    if (type == h264_idr_slice)
        m_need_idr = false;
    if (m_need_pps || m_need_idr)
        return 0; // pictures before the first key frame cannot be decoded: left out

    // Further slices of a picture (first_mb_in_slice not 0) join the picture's sample.
    bit_reader_t reader(unit + 1, size - 1);
    const auto first_mb = reader.read_ue();
    if (!first_mb)
        return h26x_malformed;
    const sample_kind kind = *first_mb != 0           ? continuation_sample
                             : type == h264_idr_slice ? sync_sample
                                                      : plain_sample;
    // The length prefix and the unit go out as one sample in two pieces: the unit is not copied.
    uint8_t prefix[4];
    for (int i = 0; i < 4; ++i)
        prefix[i] = static_cast<uint8_t>(escaped_size >> (24 - 8 * i));
    const int status = m_mux->MP4E_put_sample(m_track, prefix, sizeof prefix, duration, kind);
    if (status != 0)
        return status;
    return m_mux->MP4E_put_sample(m_track, escaped, escaped_size, duration, continuation_sample);
}

int nal_sample_writer::write_h265_unit(const uint8_t *unit, size_t size, uint32_t duration)
{
    if (size == 0)
        return h26x_malformed;
    const int type = (unit[0] >> 1) & 0x3f;
    const bool key = type >= h265_first_key && type <= h265_last_key;
    if (key && !m_need_vps && !m_need_sps && !m_need_pps)
        m_need_idr = false;
    switch (type) {
    case h265_vps:
        m_need_vps = false;
        return m_mux->MP4E_set_vps(m_track, unit, size);
    case h265_sps:
        m_need_sps = false;
        return m_mux->MP4E_set_sps(m_track, unit, size);
    case h265_pps:
        m_need_pps = false;
        return m_mux->MP4E_set_pps(m_track, unit, size);
    default:
        if (m_need_vps || m_need_sps || m_need_pps || m_need_idr)
            return h26x_malformed;
        return put_unit(unit, size, duration, key ? sync_sample : plain_sample);
    }
}

} // namespace salvex
