#include "mp4writer.h"

#include "mp4boxes.h"

#include <algorithm>
#include <new>

namespace salvex {

namespace {
constexpr int64_t ftyp_size = 24;
constexpr int64_t media_data_header_size = 16;
} // namespace

std::unique_ptr<MP4E_mux_t> MP4E_mux_t::MP4E_open(write_fn write)
{
    if (!write)
        return nullptr;
    std::unique_ptr<MP4E_mux_t> mux(new (std::nothrow) MP4E_mux_t(std::move(write)));
    if (!mux)
        return nullptr;
    const std::vector<uint8_t> ftyp = ftyp_box();
    // The media-data header is known only at close: until then the 16 bytes hold the first 8
    // bytes of ftyp again, so an unclosed file shows no valid media data size.
    if (mux->m_write(0, ftyp.data(), ftyp.size()) != 0 ||
        mux->m_write(ftyp_size, ftyp.data(), 8) != 0)
        return nullptr;
    mux->m_write_pos = ftyp_size + media_data_header_size;
    return mux;
}

int MP4E_mux_t::MP4E_add_track(const track_description &info)
{
    if (info.track_media_kind != e_video)
        return MP4E_STATUS_BAD_ARGUMENTS;
    try {
        m_tracks.push_back({info, {}, {}, {}, {}});
        m_tracks.back().samples.reserve(256 / sizeof(sample_entry_rec));
    } catch (const std::bad_alloc &) {
        return MP4E_STATUS_NO_MEMORY;
    }
    return static_cast<int>(m_tracks.size() - 1);
}

int MP4E_mux_t::MP4E_set_object_type(int track, uint32_t object_type_indication)
{
    if (!valid_track(track))
        return MP4E_STATUS_BAD_ARGUMENTS;
    m_tracks[static_cast<size_t>(track)].info.object_type_indication = object_type_indication;
    return MP4E_STATUS_OK;
}

int MP4E_mux_t::set_parameter_set(int track, std::vector<std::vector<uint8_t>> track_t::*list,
                                  const void *data, size_t size)
{
    if (!valid_track(track) || !data || size == 0)
        return MP4E_STATUS_BAD_ARGUMENTS;
    auto &sets = m_tracks[static_cast<size_t>(track)].*list;
    const auto *bytes = static_cast<const uint8_t *>(data);
    const std::vector<uint8_t> set(bytes, bytes + size);
    if (std::find(sets.begin(), sets.end(), set) != sets.end())
        return MP4E_STATUS_OK;
    try {
        sets.push_back(set);
    } catch (const std::bad_alloc &) {
        return MP4E_STATUS_NO_MEMORY;
    }
    return MP4E_STATUS_OK;
}

int MP4E_mux_t::MP4E_set_sps(int track, const void *data, size_t size)
{
    return set_parameter_set(track, &track_t::sps, data, size);
}

int MP4E_mux_t::MP4E_set_pps(int track, const void *data, size_t size)
{
    return set_parameter_set(track, &track_t::pps, data, size);
}

int MP4E_mux_t::MP4E_set_vps(int track, const void *data, size_t size)
{
    return set_parameter_set(track, &track_t::vps, data, size);
}

int MP4E_mux_t::MP4E_put_sample(int track, const void *data, size_t size, uint32_t duration,
                                sample_kind kind)
{
    if (!valid_track(track) || !data)
        return MP4E_STATUS_BAD_ARGUMENTS;
    track_t &t = m_tracks[static_cast<size_t>(track)];
    if (kind == continuation_sample) {
        if (t.samples.empty())
            return MP4E_STATUS_NO_MEMORY;
    } else {
        try {
            t.samples.push_back({0, static_cast<uint64_t>(m_write_pos),
                                 duration ? duration : t.info.default_duration,
                                 kind == sync_sample ? 1u : 0u});
        } catch (const std::bad_alloc &) {
            return MP4E_STATUS_NO_MEMORY;
        }
    }
    const int status = m_write(m_write_pos, data, size);
    if (status != 0) {
        if (kind != continuation_sample)
            t.samples.pop_back();
        return status;
    }
    t.samples.back().size += size;
    m_write_pos += static_cast<int64_t>(size);
    return MP4E_STATUS_OK;
}

int MP4E_mux_t::MP4E_close()
{
    const std::vector<uint8_t> header =
        media_data_header(static_cast<uint64_t>(m_write_pos - ftyp_size));
    int status = m_write(ftyp_size, header.data(), header.size());
    if (status != 0)
        return status;
    const std::vector<uint8_t> moov = moov_box(m_tracks);
    status = m_write(m_write_pos, moov.data(), moov.size());
    if (status == 0)
        m_write_pos += static_cast<int64_t>(moov.size());
    return status;
}

} // namespace salvex
