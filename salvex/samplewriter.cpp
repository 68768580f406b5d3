#include "samplewriter.h"

#include "bitstream.h"
#include "nalunits.h"

#include "mp4/annexbunits.h"

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
};

enum h265_unit : int
{
    h265_last_picture = 31,
    h265_first_key = 16,
    h265_last_key = 23,
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

bool is_h265_vps(std::span<const uint8_t> unit)
{
    return unit.size() >= 2 && unit[0] == 0x40 && unit[1] == 0x01;
}

bool is_h264_sps(std::span<const uint8_t> unit)
{
    return !unit.empty() && (unit[0] & 0x9f) == h264_sps;
}

} // namespace

int nal_sample_writer::mp4_add_track_video(MP4E_mux_t *mux, int width, int height, int fps)
{
    track_description info;
    info.object_type_indication = 0x21;
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
    m_fps = fps >= 1 && fps <= 60 ? fps : 30;
    m_need_vps = m_need_sps = m_need_pps = m_need_idr = true;
    return 0;
}

void nal_sample_writer::mp4_h26x_write_close()
{
    *this = nal_sample_writer();
}

uint32_t nal_sample_writer::next_duration()
{
    const uint64_t start = m_samples * 90000 / static_cast<uint64_t>(m_fps);
    ++m_samples;
    return static_cast<uint32_t>(m_samples * 90000 / static_cast<uint64_t>(m_fps) - start);
}

bool nal_sample_writer::learn_codec(const uint8_t *data, size_t length)
{
    // The first parameter set tells: an H.265 VPS (a header H.264 never uses) or an H.264 SPS.
    for (const auto unit : mp4::split_annexb({data, length})) {
        if (is_h265_vps(unit) || is_h264_sps(unit)) {
            m_codec = is_h265_vps(unit) ? codec::h265 : codec::h264;
            if (m_codec == codec::h264)
                m_need_vps = false;
            m_mux->MP4E_set_object_type(m_track, m_codec == codec::h265 ? 0x23 : 0x21);
            return true;
        }
    }
    return false;
}

int nal_sample_writer::mp4_h26x_write_nal(const uint8_t *data, size_t length)
{
    if (!m_mux)
        return h26x_malformed;
    if (m_codec == codec::unknown && !learn_codec(data, length))
        return 0; // no parameter set yet: nothing can be decoded
    try {
        m_pieces.clear();
        m_lengths.clear();
        m_rewritten.clear();
        m_picture = false;
        bool key = false;
        for (const auto unit : mp4::split_annexb({data, length})) {
            const int status = m_codec == codec::h265
                                   ? add_h265_unit(unit.data(), unit.size(), &key)
                                   : add_h264_unit(unit.data(), unit.size(), &key);
            if (status != 0)
                return status;
        }
        if (!m_picture)
            return 0;
        // One sample, its pieces written back to back before anything else can be.
        int status = m_mux->MP4E_put_sample(m_track, m_pieces.front().data, m_pieces.front().size,
                                            next_duration(), key ? sync_sample : plain_sample);
        for (size_t i = 1; i < m_pieces.size() && status == 0; ++i)
            status = m_mux->MP4E_put_sample(m_track, m_pieces[i].data, m_pieces[i].size, 0,
                                            continuation_sample);
        return status;
    } catch (const std::bad_alloc &) {
        return h26x_no_memory;
    }
}

void nal_sample_writer::append(const uint8_t *unit, size_t size, bool owned)
{
    std::array<uint8_t, 4> &length = m_lengths.emplace_back();
    for (int i = 0; i < 4; ++i)
        length[static_cast<size_t>(i)] = static_cast<uint8_t>(size >> (24 - 8 * i));
    if (owned)
        unit = m_rewritten.emplace_back(unit, unit + size).data();
    m_pieces.push_back({length.data(), length.size()});
    m_pieces.push_back({unit, size});
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

int nal_sample_writer::add_h264_unit(const uint8_t *unit, size_t size, bool *key)
{
    if (size == 0)
        return h26x_malformed;
    const int type = unit[0] & 0x1f;
    const bool slice =
        type == h264_slice || type == h264_slice_partition_a || type == h264_idr_slice;
    const bool picture = type >= h264_slice && type <= h264_idr_slice;
    if (!picture && type != h264_sps && type != h264_pps)
        return 0; // SEI, delimiters, filler, end of stream: no part of a picture
    if (type != h264_sps && m_need_sps)
        return h26x_malformed;
    // Pictures before the first key frame cannot be decoded: left out.
    if (picture && m_need_pps)
        return 0;
    if (type == h264_idr_slice) {
        m_need_idr = false;
        *key = true;
    }
    if (picture && m_need_idr)
        return 0;
    if (!slice && picture) {
        append(unit, size); // partitions B and C name no parameter set
        m_picture = true;
        return 0;
    }
    if (slice && slice_passes_unchanged(unit, size)) {
        append(unit, size);
        m_picture = true;
        return 0;
    }

    grow(m_unescaped, size);
    const auto unescaped_size = remove_emulation_prevention(unit, size, m_unescaped.data());
    if (!unescaped_size)
        return h26x_malformed;
    const std::optional<std::vector<uint8_t>> rewritten =
        type == h264_sps   ? m_patcher.patch_sps(m_unescaped.data(), *unescaped_size)
        : type == h264_pps ? m_patcher.patch_pps(m_unescaped.data(), *unescaped_size)
                           : m_patcher.patch_slice(m_unescaped.data(), *unescaped_size);
    if (!rewritten)
        return h26x_malformed;
    grow(m_escaped, escaped_capacity(rewritten->size()));
    const size_t escaped_size =
        insert_emulation_prevention(rewritten->data(), rewritten->size(), m_escaped.data());

    if (type == h264_sps) {
        m_need_sps = false;
        return m_mux->MP4E_set_sps(m_track, m_escaped.data(), escaped_size);
    }
    if (type == h264_pps) {
        m_need_pps = false;
        return m_mux->MP4E_set_pps(m_track, m_escaped.data(), escaped_size);
    }
    append(m_escaped.data(), escaped_size, true);
    m_picture = true;
    return 0;
}

int nal_sample_writer::add_h265_unit(const uint8_t *unit, size_t size, bool *key)
{
    if (size < 2)
        return h26x_malformed;
    const int type = (unit[0] >> 1) & 0x3f;
    if (type >= h265_vps && type <= h265_pps) {
        // The first of each kind goes into the decoder configuration; every one also stays in
        // its picture, so that a set changed under the same id reaches the pictures after it.
        bool &needed = type == h265_vps ? m_need_vps : type == h265_sps ? m_need_sps : m_need_pps;
        if (needed) {
            const int status = type == h265_vps   ? m_mux->MP4E_set_vps(m_track, unit, size)
                               : type == h265_sps ? m_mux->MP4E_set_sps(m_track, unit, size)
                                                  : m_mux->MP4E_set_pps(m_track, unit, size);
            if (status != 0)
                return status;
            needed = false;
        }
        append(unit, size);
        return 0;
    }
    if (type > h265_last_picture)
        return 0; // SEI, delimiters, filler, end of stream: no part of a picture
    if (m_need_vps || m_need_sps || m_need_pps)
        return h26x_malformed;
    if (type >= h265_first_key && type <= h265_last_key) {
        m_need_idr = false;
        *key = true;
    }
    if (m_need_idr)
        return 0;
    append(unit, size);
    m_picture = true;
    return 0;
}

} // namespace salvex
