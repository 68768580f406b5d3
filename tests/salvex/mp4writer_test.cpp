#include "h264units.h"
#include "mp4writer.h"

#include "mp4/boxcontents.h"
#include "mp4/boxreader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace salvex;
using namespace salvex::test;

namespace {

track_description video_track(int width = 640, int height = 360)
{
    track_description info;
    info.object_type_indication = 0x21;
    info.track_media_kind = e_video;
    info.time_scale = 90000;
    info.width = width;
    info.height = height;
    return info;
}

const bytes sample_data(100, 0x42);
const bytes sps = sps_unit(0);
const bytes pps = pps_unit(0, 0);

int add_h264_track(memory_mp4 &mp4)
{
    const int track = mp4.mux->MP4E_add_track(video_track());
    mp4.mux->MP4E_set_sps(track, sps.data(), sps.size());
    mp4.mux->MP4E_set_pps(track, pps.data(), pps.size());
    return track;
}

void put(memory_mp4 &mp4, int track, uint32_t duration, sample_kind kind = sync_sample)
{
    ASSERT_EQ(
        mp4.mux->MP4E_put_sample(track, sample_data.data(), sample_data.size(), duration, kind), 0);
}

// The boxes of a track (by index among the written ones) at a path inside it.
std::optional<mp4::box> in_trak(const mp4::box_reader &reader, size_t trak, std::string_view path)
{
    const auto moov = reader.child("moov");
    if (!moov)
        return std::nullopt;
    size_t seen = 0;
    for (const mp4::box &b : reader.children(*moov)) {
        if (b.type == "trak" && seen++ == trak)
            return reader.find(path, b);
    }
    return std::nullopt;
}

size_t trak_count(const mp4::box_reader &reader)
{
    const auto moov = reader.child("moov");
    if (!moov)
        return 0;
    const auto all = reader.children(*moov);
    return static_cast<size_t>(
        std::count_if(all.begin(), all.end(), [](const mp4::box &b) { return b.type == "trak"; }));
}

bytes contents(const mp4::box_reader &reader, const std::optional<mp4::box> &b)
{
    if (!b) {
        ADD_FAILURE() << "the box is missing";
        return {};
    }
    return reader.body(*b);
}

std::vector<uint64_t> chunk_offsets(const mp4::box_reader &reader, size_t trak, bool wide = false)
{
    const auto offsets = mp4::read_chunk_offsets(
        contents(reader,
                 in_trak(reader, trak, wide ? "mdia/minf/stbl/co64" : "mdia/minf/stbl/stco")),
        wide);
    EXPECT_TRUE(offsets && offsets->whole());
    return offsets ? offsets->entries : std::vector<uint64_t>{};
}

} // namespace

TEST(Mp4Writer, LayoutIsFtypMediaDataHeaderSamplesMoov)
{
    memory_mp4 mp4;
    const int track = add_h264_track(mp4);
    put(mp4, track, 3000);
    put(mp4, track, 3000);
    ASSERT_EQ(mp4.mux->MP4E_close(), 0);
    const bytes &file = mp4.file;
    const mp4::box_reader reader(file);

    const auto top = reader.children();
    ASSERT_EQ(top.size(), 4u);
    EXPECT_EQ(top[0].type, "ftyp");
    EXPECT_EQ(top[0].size, 24u);
    EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 24),
              std::string("mp42\0\0\0\0mp42isom", 16));
    EXPECT_EQ(top[1].type, "free");
    EXPECT_EQ(top[1].size, 8u);
    EXPECT_EQ(top[2].type, "mdat");
    EXPECT_EQ(top[2].offset, 32u);
    EXPECT_EQ(top[2].size, 8 + 2 * sample_data.size());
    EXPECT_EQ(top[3].type, "moov");
    EXPECT_EQ(chunk_offsets(reader, 0), (std::vector<uint64_t>{40, 140}));
}

TEST(Mp4Writer, TimeToSampleRunsOfEqualDurations)
{
    memory_mp4 mp4;
    const int track = add_h264_track(mp4);
    put(mp4, track, 3000);
    put(mp4, track, 3000);
    put(mp4, track, 6000);
    mp4.mux->MP4E_close();
    const mp4::box_reader reader(mp4.file);
    const auto stts =
        mp4::read_decoding_times(contents(reader, in_trak(reader, 0, "mdia/minf/stbl/stts")));
    ASSERT_TRUE(stts);
    EXPECT_TRUE(stts->whole());
    std::vector<std::pair<uint32_t, uint32_t>> runs;
    for (const mp4::time_run &run : stts->entries)
        runs.push_back({run.count, run.delta});
    EXPECT_EQ(runs, (std::vector<std::pair<uint32_t, uint32_t>>{{2, 3000}, {1, 6000}}));
}

TEST(Mp4Writer, SyncSampleTableOnlyWhenNotEverySampleIsSync)
{
    memory_mp4 mp4;
    const int all_sync = add_h264_track(mp4);
    const int none_sync = add_h264_track(mp4);
    const int mixed = add_h264_track(mp4);
    for (int i = 0; i < 4; ++i) {
        put(mp4, all_sync, 3000, sync_sample);
        put(mp4, none_sync, 3000, plain_sample);
        put(mp4, mixed, 3000, i % 2 == 0 ? sync_sample : plain_sample);
    }
    mp4.mux->MP4E_close();
    const mp4::box_reader reader(mp4.file);
    EXPECT_FALSE(in_trak(reader, 0, "mdia/minf/stbl/stss"));
    const auto none =
        mp4::read_sync_samples(contents(reader, in_trak(reader, 1, "mdia/minf/stbl/stss")));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->declared, 0u);
    EXPECT_TRUE(none->entries.empty());
    const auto some =
        mp4::read_sync_samples(contents(reader, in_trak(reader, 2, "mdia/minf/stbl/stss")));
    ASSERT_TRUE(some);
    EXPECT_TRUE(some->whole());
    EXPECT_EQ(some->entries, (std::vector<uint32_t>{1, 3}));
}

TEST(Mp4Writer, TracksWithoutSamplesAreLeftOutButCounted)
{
    memory_mp4 mp4;
    add_h264_track(mp4);
    const int second = add_h264_track(mp4);
    add_h264_track(mp4);
    put(mp4, second, 3000);
    put(mp4, second, 3000);
    mp4.mux->MP4E_close();
    const mp4::box_reader reader(mp4.file);
    ASSERT_EQ(trak_count(reader), 1u);
    const auto tkhd = mp4::read_track_header(contents(reader, in_trak(reader, 0, "tkhd")));
    ASSERT_TRUE(tkhd);
    EXPECT_EQ(tkhd->track_id, 2u) << "track ID = index + 1";
    const auto mvhd = reader.find("moov/mvhd");
    ASSERT_TRUE(mvhd);
    const auto movie = mp4::read_movie_header(reader.body(*mvhd));
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->duration, 66u)
        << "the movie lasts as long as its longest track, here the only one with samples";
    EXPECT_EQ(mvhd->size, 108u) << "next track ID in the last four bytes";
    EXPECT_EQ(movie->next_track_id, 4u) << "next track ID counts every track";
}

TEST(Mp4Writer, DurationsInMillisecondsAndInTrackTicks)
{
    memory_mp4 mp4;
    const int track = add_h264_track(mp4);
    for (int i = 0; i < 7; ++i)
        put(mp4, track, 3000);
    mp4.mux->MP4E_close();
    const mp4::box_reader reader(mp4.file);
    const auto tkhd_box = in_trak(reader, 0, "tkhd");
    const auto tkhd = mp4::read_track_header(contents(reader, tkhd_box));
    ASSERT_TRUE(tkhd);
    EXPECT_EQ(tkhd->duration, 3000u * 7 / 90);
    EXPECT_EQ(tkhd->width, 640u << 16);
    EXPECT_EQ(tkhd->height, 360u << 16);
    const auto mdhd_box = in_trak(reader, 0, "mdia/mdhd");
    const auto mdhd = mp4::read_media_header(contents(reader, mdhd_box));
    ASSERT_TRUE(mdhd);
    EXPECT_EQ(mdhd->timescale, 90000u);
    EXPECT_EQ(mdhd->duration, 3000u * 7);
    EXPECT_EQ(mdhd_box->size, 32u);
    EXPECT_EQ(tkhd_box->size, 92u);
    const auto movie = mp4::read_movie_header(contents(reader, reader.find("moov/mvhd")));
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->duration, 3000u * 7 / 90);
}

TEST(Mp4Writer, DecoderConfigurationHoldsEachParameterSetOnce)
{
    memory_mp4 mp4;
    const int track = add_h264_track(mp4);
    mp4.mux->MP4E_set_sps(track, sps.data(), sps.size());
    const bytes other = sps_unit(1);
    mp4.mux->MP4E_set_sps(track, other.data(), other.size());
    put(mp4, track, 3000);
    mp4.mux->MP4E_close();
    const mp4::box_reader reader(mp4.file);
    const auto stsd = in_trak(reader, 0, "mdia/minf/stbl/stsd");
    ASSERT_TRUE(stsd);
    const size_t avc1 = stsd->body_offset() + 8;
    ASSERT_EQ(std::string(mp4.file.begin() + static_cast<long>(avc1) + 4,
                          mp4.file.begin() + static_cast<long>(avc1) + 8),
              "avc1");
    const size_t avcC = avc1 + 86;
    ASSERT_EQ(std::string(mp4.file.begin() + static_cast<long>(avcC) + 4,
                          mp4.file.begin() + static_cast<long>(avcC) + 8),
              "avcC");
    const bytes &f = mp4.file;
    EXPECT_EQ(f[avcC + 8], 1);
    EXPECT_EQ(f[avcC + 9], 66) << "profile from the first SPS";
    EXPECT_EQ(f[avcC + 11], 30) << "level";
    EXPECT_EQ(f[avcC + 12], 0xff);
    EXPECT_EQ(f[avcC + 13], 0xe0 | 2) << "two distinct SPS";
    EXPECT_EQ(mp4::big_endian(f, avcC + 14, 2), sps.size());
    const size_t pps_count = avcC + 14 + 2 + sps.size() + 2 + other.size();
    EXPECT_EQ(f[pps_count], 1);
}

TEST(Mp4Writer, ContinuationGrowsThePreviousSample)
{
    memory_mp4 mp4;
    const int track = add_h264_track(mp4);
    EXPECT_EQ(mp4.mux->MP4E_put_sample(track, sample_data.data(), 10, 3000, continuation_sample),
              MP4E_STATUS_NO_MEMORY);
    put(mp4, track, 3000);
    put(mp4, track, 3000, continuation_sample);
    EXPECT_EQ(mp4.mux->MP4E_put_sample(7, sample_data.data(), 10, 3000, plain_sample),
              MP4E_STATUS_BAD_ARGUMENTS);
    mp4.mux->MP4E_close();
    const mp4::box_reader reader(mp4.file);
    const auto stsz =
        mp4::read_sample_sizes(contents(reader, in_trak(reader, 0, "mdia/minf/stbl/stsz")));
    ASSERT_TRUE(stsz);
    EXPECT_EQ(stsz->count, 1u);
    EXPECT_EQ(stsz->sizes, std::vector<uint32_t>{static_cast<uint32_t>(2 * sample_data.size())});
}

TEST(Mp4Writer, OffsetsBeyondFourGigabytesUseLargeBoxes)
{
    // A file that only keeps small writes: the samples are pretend, the index is real.
    std::map<int64_t, bytes> writes;
    auto mux = MP4E_mux_t::MP4E_open([&](int64_t offset, const void *data, size_t size) {
        if (size < (1u << 20)) {
            const auto *p = static_cast<const uint8_t *>(data);
            writes[offset] = bytes(p, p + size);
        }
        return 0;
    });
    const int track = mux->MP4E_add_track(video_track());
    mux->MP4E_set_sps(track, sps.data(), sps.size());
    const uint8_t dummy = 0;
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(mux->MP4E_put_sample(track, &dummy, size_t{1} << 31, 3000, sync_sample), 0);
    ASSERT_EQ(mux->MP4E_close(), 0);

    const auto &[moov_offset, moov] = *writes.rbegin();
    const bytes &header = writes.at(24);
    ASSERT_EQ(header.size(), 16u);
    const auto mdat = mp4::read_box_header(header, 24, static_cast<uint64_t>(moov_offset));
    ASSERT_TRUE(mdat);
    EXPECT_EQ(mdat->header_size, 16u);
    EXPECT_EQ(mdat->type, "mdat");
    EXPECT_EQ(mdat->size, 16 + 3 * (uint64_t{1} << 31));
    EXPECT_EQ(mdat->end(), static_cast<uint64_t>(moov_offset)) << "the index follows the samples";

    const mp4::box_reader index(moov);
    const auto offsets = chunk_offsets(index, 0, true);
    ASSERT_EQ(offsets.size(), 3u);
    EXPECT_EQ(offsets[2], 40 + 2 * (uint64_t{1} << 31));
    EXPECT_FALSE(in_trak(index, 0, "mdia/minf/stbl/stco"));
}

TEST(Mp4Writer, FailedWriteLeavesNoSampleBehind)
{
    bool fail = false;
    bytes file;
    auto mux = MP4E_mux_t::MP4E_open([&](int64_t offset, const void *data, size_t size) {
        if (fail)
            return 7;
        file.resize(std::max(file.size(), static_cast<size_t>(offset) + size));
        std::copy_n(static_cast<const uint8_t *>(data), size, file.begin() + offset);
        return 0;
    });
    const int track = mux->MP4E_add_track(video_track());
    mux->MP4E_set_sps(track, sps.data(), sps.size());
    fail = true;
    EXPECT_EQ(
        mux->MP4E_put_sample(track, sample_data.data(), sample_data.size(), 3000, sync_sample), 7);
    fail = false;
    EXPECT_EQ(
        mux->MP4E_put_sample(track, sample_data.data(), sample_data.size(), 3000, sync_sample), 0);
    ASSERT_EQ(mux->MP4E_close(), 0);
    EXPECT_EQ(chunk_offsets(mp4::box_reader(file), 0), (std::vector<uint64_t>{40}));
    fail = true;
    EXPECT_EQ(mux->MP4E_close(), 7);
}

TEST(Mp4Writer, OnlyVideoTracks)
{
    memory_mp4 mp4;
    track_description sound = video_track();
    sound.track_media_kind = e_audio;
    EXPECT_EQ(mp4.mux->MP4E_add_track(sound), MP4E_STATUS_BAD_ARGUMENTS);
    EXPECT_EQ(mp4.mux->MP4E_close(), 0);
    const mp4::box_reader reader(mp4.file);
    EXPECT_TRUE(reader.find("moov/mvhd"));
    EXPECT_EQ(trak_count(reader), 0u);
}
