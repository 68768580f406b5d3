#include "boxreader.h"
#include "h264units.h"
#include "mp4writer.h"

#include <gtest/gtest.h>

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

std::vector<std::pair<uint32_t, uint32_t>> table(const bytes &file, const std::optional<box> &b,
                                                 size_t fields)
{
    std::vector<std::pair<uint32_t, uint32_t>> rows;
    const uint32_t count = be32(file, b->payload() + 4);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t at = b->payload() + 8 + i * fields * 4;
        rows.push_back({be32(file, at), fields > 1 ? be32(file, at + 4) : 0});
    }
    return rows;
}

std::optional<box> in_trak(const bytes &file, size_t trak, const std::string &path)
{
    const auto traks = moov_children(file, "trak");
    if (trak >= traks.size())
        return std::nullopt;
    return find_box(file, path, traks[trak]);
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

    const auto top = children(file, 0, file.size());
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
    const auto stco = in_trak(file, 0, "mdia/minf/stbl/stco");
    ASSERT_TRUE(stco);
    EXPECT_EQ(table(file, stco, 1),
              (std::vector<std::pair<uint32_t, uint32_t>>{{40, 0}, {140, 0}}));
}

TEST(Mp4Writer, TimeToSampleRunsOfEqualDurations)
{
    memory_mp4 mp4;
    const int track = add_h264_track(mp4);
    put(mp4, track, 3000);
    put(mp4, track, 3000);
    put(mp4, track, 6000);
    mp4.mux->MP4E_close();
    EXPECT_EQ(table(mp4.file, in_trak(mp4.file, 0, "mdia/minf/stbl/stts"), 2),
              (std::vector<std::pair<uint32_t, uint32_t>>{{2, 3000}, {1, 6000}}));
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
    EXPECT_FALSE(in_trak(mp4.file, 0, "mdia/minf/stbl/stss"));
    const auto none = in_trak(mp4.file, 1, "mdia/minf/stbl/stss");
    ASSERT_TRUE(none);
    EXPECT_TRUE(table(mp4.file, none, 1).empty());
    EXPECT_EQ(table(mp4.file, in_trak(mp4.file, 2, "mdia/minf/stbl/stss"), 1),
              (std::vector<std::pair<uint32_t, uint32_t>>{{1, 0}, {3, 0}}));
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
    const auto traks = moov_children(mp4.file, "trak");
    ASSERT_EQ(traks.size(), 1u);
    const auto tkhd = find_box(mp4.file, "tkhd", traks[0]);
    EXPECT_EQ(be32(mp4.file, tkhd->payload() + 12), 2u) << "track ID = index + 1";
    const auto mvhd = find_box(mp4.file, "moov/mvhd");
    EXPECT_EQ(be32(mp4.file, mvhd->payload() + 16), 66u)
        << "the movie lasts as long as its longest track, here the only one with samples";
    EXPECT_EQ(be32(mp4.file, mvhd->offset + mvhd->size - 4), 4u)
        << "next track ID counts every track";
}

TEST(Mp4Writer, DurationsInMillisecondsAndInTrackTicks)
{
    memory_mp4 mp4;
    const int track = add_h264_track(mp4);
    for (int i = 0; i < 7; ++i)
        put(mp4, track, 3000);
    mp4.mux->MP4E_close();
    const auto tkhd = in_trak(mp4.file, 0, "tkhd");
    EXPECT_EQ(be32(mp4.file, tkhd->payload() + 20), 3000u * 7 / 90);
    EXPECT_EQ(be32(mp4.file, tkhd->payload() + 76), 640u << 16);
    EXPECT_EQ(be32(mp4.file, tkhd->payload() + 80), 360u << 16);
    const auto mdhd = in_trak(mp4.file, 0, "mdia/mdhd");
    EXPECT_EQ(be32(mp4.file, mdhd->payload() + 12), 90000u);
    EXPECT_EQ(be32(mp4.file, mdhd->payload() + 16), 3000u * 7);
    EXPECT_EQ(mdhd->size, 32u);
    EXPECT_EQ(tkhd->size, 92u);
    const auto mvhd = find_box(mp4.file, "moov/mvhd");
    EXPECT_EQ(be32(mp4.file, mvhd->payload() + 16), 3000u * 7 / 90);
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
    const auto stsd = in_trak(mp4.file, 0, "mdia/minf/stbl/stsd");
    const size_t avc1 = stsd->payload() + 8;
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
    EXPECT_EQ(be32(f, avcC + 14) >> 16, sps.size());
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
    const auto stsz = in_trak(mp4.file, 0, "mdia/minf/stbl/stsz");
    EXPECT_EQ(be32(mp4.file, stsz->payload() + 8), 1u);
    EXPECT_EQ(be32(mp4.file, stsz->payload() + 12), 2 * sample_data.size());
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

    const bytes &header = writes.at(24);
    ASSERT_EQ(header.size(), 16u);
    EXPECT_EQ(be32(header, 0), 1u);
    EXPECT_EQ(std::string(header.begin() + 4, header.begin() + 8), "mdat");
    EXPECT_EQ(be64(header, 8), 16 + 3 * (uint64_t{1} << 31));

    const bytes &moov = writes.rbegin()->second;
    const auto co64 = in_trak(moov, 0, "mdia/minf/stbl/co64");
    ASSERT_TRUE(co64);
    EXPECT_EQ(be64(moov, co64->payload() + 8 + 16), 40 + 2 * (uint64_t{1} << 31));
    EXPECT_FALSE(in_trak(moov, 0, "mdia/minf/stbl/stco"));
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
    const auto stco = in_trak(file, 0, "mdia/minf/stbl/stco");
    EXPECT_EQ(table(file, stco, 1), (std::vector<std::pair<uint32_t, uint32_t>>{{40, 0}}));
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
    EXPECT_TRUE(find_box(mp4.file, "moov/mvhd"));
    EXPECT_TRUE(moov_children(mp4.file, "trak").empty());
}
