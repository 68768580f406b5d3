#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace salvex {

enum track_media_kind_t
{
    e_audio = 0,
    e_video = 1,
    e_private = 2
};

struct track_description
{
    uint32_t object_type_indication = 0; // 0x21 H.264, 0x23 H.265
    char language[4] = {'u', 'n', 'd', 0};
    track_media_kind_t track_media_kind = e_video;
    uint32_t time_scale = 0;
    uint32_t default_duration = 0;
    int width = 0;
    int height = 0;
};

enum sample_kind
{
    plain_sample = 0,
    sync_sample = 1,
    continuation_sample = 2
};

constexpr int MP4E_STATUS_OK = 0;
constexpr int MP4E_STATUS_BAD_ARGUMENTS = -1;
constexpr int MP4E_STATUS_NO_MEMORY = -2;

struct sample_entry_rec
{
    uint64_t size = 0;
    uint64_t offset = 0;
    uint32_t duration = 0;
    uint32_t flag_random_access = 0;
};

struct track_t
{
    track_description info;
    std::vector<sample_entry_rec> samples;
    // Parameter sets in the order they were first given, duplicates dropped.
    std::vector<std::vector<uint8_t>> sps;
    std::vector<std::vector<uint8_t>> pps;
    std::vector<std::vector<uint8_t>> vps;
};

// Writes an MP4 from samples handed to it track by track: the media data goes straight to the
// write operation at its final offset, and only the sample table is held until close writes the
// index. Layout: ftyp, a 16-byte media-data header (free + mdat, or a large-size mdat), the
// samples, moov. Only this default layout and video tracks are written: salvex needs no other.
class MP4E_mux_t
{
public:
    // write(offset, data, size) puts bytes at an absolute offset; 0 on success.
    using write_fn = std::function<int(int64_t offset, const void *data, size_t size)>;

    static std::unique_ptr<MP4E_mux_t> MP4E_open(write_fn write);

    // The new track's index (track ID = index + 1), or a negative status.
    int MP4E_add_track(const track_description &info);
    // The track's codec, once its first parameter set tells: 0x21 H.264, 0x23 H.265.
    int MP4E_set_object_type(int track, uint32_t object_type_indication);
    int MP4E_set_sps(int track, const void *data, size_t size);
    int MP4E_set_pps(int track, const void *data, size_t size);
    int MP4E_set_vps(int track, const void *data, size_t size);
    int MP4E_put_sample(int track, const void *data, size_t size, uint32_t duration,
                        sample_kind kind);
    // Writes the media-data header and the index; the status of those writes.
    int MP4E_close();

    const std::vector<track_t> &tracks() const { return m_tracks; }

private:
    explicit MP4E_mux_t(write_fn write) : m_write(std::move(write)) {}
    int set_parameter_set(int track, std::vector<std::vector<uint8_t>> track_t::*list,
                          const void *data, size_t size);
    bool valid_track(int track) const
    {
        return track >= 0 && static_cast<size_t>(track) < m_tracks.size();
    }

    write_fn m_write;
    std::vector<track_t> m_tracks;
    int64_t m_write_pos = 0;
};

} // namespace salvex
