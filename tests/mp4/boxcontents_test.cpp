// Each box kind the reader understands, written and read back field by field: by salvex's MP4
// writer where it writes that kind, else built here. Then contents cut short or lying about
// their length.
#include "mp4testbytes.h"

#include "mp4/boxcontents.h"
#include "mp4/boxreader.h"
#include "mp4boxes.h"

#include <gtest/gtest.h>

using namespace mp4;
using namespace mp4::test;

namespace {

salvex::track_t video_track(std::uint32_t time_scale, int width, int height)
{
    salvex::track_t track;
    track.info.track_media_kind = salvex::e_video;
    track.info.object_type_indication = 0x21;
    track.info.time_scale = time_scale;
    track.info.width = width;
    track.info.height = height;
    return track;
}

void add_sample(salvex::track_t &track, std::uint64_t offset, std::uint64_t size,
                std::uint32_t duration, bool sync)
{
    track.samples.push_back({size, offset, duration, sync ? 1u : 0u});
}

// The contents of a box that must be there; none when it is not, which no reader accepts.
bytes contents(const box_reader &reader, const std::optional<box> &b)
{
    if (!b) {
        ADD_FAILURE() << "the box is missing";
        return {};
    }
    return reader.body(*b);
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> runs(const table<time_run> &t)
{
    std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
    for (const time_run &r : t.entries)
        out.push_back({r.count, r.delta});
    return out;
}

} // namespace

TEST(BoxContents, WrittenIndexReadsBackFieldByField)
{
    std::vector<salvex::track_t> tracks;
    // 90 kHz: durations in milliseconds in mvhd and tkhd; key frames on samples 1 and 3.
    tracks.push_back(video_track(90000, 640, 360));
    add_sample(tracks[0], 40, 100, 3000, true);
    add_sample(tracks[0], 140, 200, 3000, false);
    add_sample(tracks[0], 340, 300, 6000, true);
    add_sample(tracks[0], 640, 400, 3000, false);
    // A slow clock keeps its own ticks; offsets past 4 GiB need 64-bit chunk offsets; every
    // sample a key frame leaves the key frame table out.
    tracks.push_back(video_track(1000, 1920, 1080));
    add_sample(tracks[1], 5000000000, 10, 40, true);
    add_sample(tracks[1], 6000000000, 20, 40, true);
    // Without samples: not written, but counted.
    tracks.push_back(video_track(90000, 320, 240));

    const bytes moov = salvex::moov_box(tracks);
    const box_reader reader(moov);

    const std::optional<box> mvhd = reader.find("moov/mvhd");
    ASSERT_TRUE(mvhd);
    const std::optional<movie_header> movie = read_movie_header(reader.body(*mvhd));
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->version, 0);
    EXPECT_EQ(movie->timescale, 1000u);
    EXPECT_EQ(movie->duration, 15000u / 90) << "the longest track";
    EXPECT_EQ(movie->next_track_id, 4u);

    std::vector<box> traks;
    for (const box &b : reader.children(*reader.child("moov"))) { // found with mvhd
        if (b.type == "trak")
            traks.push_back(b);
    }
    ASSERT_EQ(traks.size(), 2u);

    struct Expected
    {
        std::uint32_t id;
        std::uint64_t movie_duration;
        std::uint32_t width;
        std::uint32_t height;
        std::uint32_t timescale;
        std::uint64_t media_duration;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;
        std::vector<std::uint32_t> sizes;
        std::vector<std::uint64_t> offsets;
        std::optional<std::vector<std::uint32_t>> sync;
    };
    const Expected expected[] = {
        {1,
         15000 / 90,
         640,
         360,
         90000,
         15000,
         {{2, 3000}, {1, 6000}, {1, 3000}},
         {100, 200, 300, 400},
         {40, 140, 340, 640},
         std::vector<std::uint32_t>{1, 3}},
        {2, 80, 1920, 1080, 1000, 80, {{2, 40}}, {10, 20}, {5000000000, 6000000000}, std::nullopt},
    };
    for (std::size_t i = 0; i < traks.size(); ++i) {
        SCOPED_TRACE("track " + std::to_string(i + 1));
        const Expected &e = expected[i];
        const box &trak = traks[i];

        const auto tkhd = read_track_header(contents(reader, reader.child("tkhd", trak)));
        ASSERT_TRUE(tkhd);
        EXPECT_EQ(tkhd->version, 0);
        EXPECT_EQ(tkhd->track_id, e.id);
        EXPECT_EQ(tkhd->duration, e.movie_duration);
        EXPECT_EQ(tkhd->width, e.width << 16);
        EXPECT_EQ(tkhd->height, e.height << 16);

        const auto mdhd = read_media_header(contents(reader, reader.find("mdia/mdhd", trak)));
        ASSERT_TRUE(mdhd);
        EXPECT_EQ(mdhd->timescale, e.timescale);
        EXPECT_EQ(mdhd->duration, e.media_duration);

        EXPECT_EQ(read_handler_type(contents(reader, reader.find("mdia/hdlr", trak))), "vide");

        const std::optional<box> stbl = reader.find("mdia/minf/stbl", trak);
        ASSERT_TRUE(stbl);
        const auto stts = read_decoding_times(contents(reader, reader.child("stts", *stbl)));
        ASSERT_TRUE(stts);
        EXPECT_TRUE(stts->whole());
        EXPECT_EQ(runs(*stts), e.runs);

        const auto stsz = read_sample_sizes(contents(reader, reader.child("stsz", *stbl)));
        ASSERT_TRUE(stsz);
        EXPECT_EQ(stsz->uniform_size, 0u);
        EXPECT_EQ(stsz->count, e.sizes.size());
        EXPECT_EQ(stsz->sizes, e.sizes);

        const bool wide = e.offsets.back() > 0xffffffffu;
        const std::optional<box> chunks = reader.child(wide ? "co64" : "stco", *stbl);
        ASSERT_TRUE(chunks);
        EXPECT_FALSE(reader.child(wide ? "stco" : "co64", *stbl));
        const auto offsets = read_chunk_offsets(reader.body(*chunks), wide);
        ASSERT_TRUE(offsets);
        EXPECT_EQ(offsets->entries, e.offsets);

        const std::optional<box> stss = reader.child("stss", *stbl);
        ASSERT_EQ(stss.has_value(), e.sync.has_value());
        if (stss) {
            const auto sync = read_sync_samples(reader.body(*stss));
            ASSERT_TRUE(sync);
            EXPECT_TRUE(sync->whole());
            EXPECT_EQ(sync->entries, *e.sync);
        }
    }
}

TEST(BoxContents, WrittenFileHeadersReadBack)
{
    const bytes ftyp = salvex::ftyp_box();
    const box_reader reader(ftyp);
    const std::optional<box> type = reader.child("ftyp");
    ASSERT_TRUE(type);
    EXPECT_EQ(type->size, ftyp.size());
    EXPECT_EQ(reader.body(*type), text("mp42") + be(0, 4) + text("mp42isom"));

    // The media data header stands at offset 24 and the media data ends D bytes later.
    const std::uint64_t small = 1000;
    const bytes free_and_mdat = salvex::media_data_header(small);
    const auto free = read_box_header(free_and_mdat, 24, 24 + small);
    ASSERT_TRUE(free);
    EXPECT_EQ(free->type, "free");
    EXPECT_EQ(free->size, 8u);
    const auto mdat = read_box_header(bytes_view(free_and_mdat).subspan(8), 32, 24 + small);
    ASSERT_TRUE(mdat);
    EXPECT_EQ(mdat->type, "mdat");
    EXPECT_EQ(mdat->header_size, 8u);
    EXPECT_EQ(mdat->end(), 24 + small);

    const std::uint64_t large = 5000000000;
    const auto wide = read_box_header(salvex::media_data_header(large), 24, 24 + large);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->type, "mdat");
    EXPECT_EQ(wide->header_size, 16u);
    EXPECT_EQ(wide->size, large);
    EXPECT_EQ(wide->body_offset(), 40u);
}

TEST(BoxContents, VersionOneHeadersCarryWideTimes)
{
    const std::uint64_t long_time = (std::uint64_t{1} << 32) + 16;
    const bytes mvhd = full(1) + be(1, 8) + be(2, 8) + be(600, 4) + be(long_time, 8) +
                       be(0x10000, 4) + be(0x100, 2) + bytes(10 + 36 + 24, 0) + be(9, 4);
    ASSERT_EQ(mvhd.size(), 112u);
    const auto movie = read_movie_header(mvhd);
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->version, 1);
    EXPECT_EQ(movie->timescale, 600u);
    EXPECT_EQ(movie->duration, long_time);
    EXPECT_EQ(movie->next_track_id, 9u);

    const bytes tkhd = full(1, 7) + be(1, 8) + be(2, 8) + be(5, 4) + be(0, 4) + be(long_time, 8) +
                       bytes(8 + 8 + 36, 0) + be(1280u << 16, 4) + be(720u << 16, 4);
    ASSERT_EQ(tkhd.size(), 96u);
    const auto track = read_track_header(tkhd);
    ASSERT_TRUE(track);
    EXPECT_EQ(track->track_id, 5u);
    EXPECT_EQ(track->duration, long_time);
    EXPECT_EQ(track->width, 1280u << 16);
    EXPECT_EQ(track->height, 720u << 16);

    const bytes mdhd = full(1) + be(1, 8) + be(2, 8) + be(90000, 4) + be(long_time, 8) + be(0, 4);
    const auto media = read_media_header(mdhd);
    ASSERT_TRUE(media);
    EXPECT_EQ(media->timescale, 90000u);
    EXPECT_EQ(media->duration, long_time);

    // Versions past 1 are read as version 0.
    const bytes mdhd2 = full(2) + be(1, 4) + be(2, 4) + be(25, 4) + be(50, 4) + be(0, 4);
    const auto media2 = read_media_header(mdhd2);
    ASSERT_TRUE(media2);
    EXPECT_EQ(media2->timescale, 25u);
    EXPECT_EQ(media2->duration, 50u);
}

TEST(BoxContents, CompositionOffsetsAndEditsBuiltHere)
{
    const bytes offsets0 =
        full(0) + be(2, 4) + be(3, 4) + be(0xfffffff0, 4) + be(1, 4) + be(512, 4);
    const auto unsigned_offsets = read_composition_offsets(offsets0);
    ASSERT_TRUE(unsigned_offsets);
    ASSERT_EQ(unsigned_offsets->entries.size(), 2u);
    EXPECT_EQ(unsigned_offsets->entries[0].count, 3u);
    EXPECT_EQ(unsigned_offsets->entries[0].offset, 0xfffffff0) << "unsigned in version 0";
    EXPECT_EQ(unsigned_offsets->entries[1].count, 1u);
    EXPECT_EQ(unsigned_offsets->entries[1].offset, 512);
    const bytes offsets1 = full(1) + be(1, 4) + be(3, 4) + be(0xfffffff0, 4);
    const auto signed_offsets = read_composition_offsets(offsets1);
    ASSERT_TRUE(signed_offsets);
    ASSERT_EQ(signed_offsets->entries.size(), 1u);
    EXPECT_EQ(signed_offsets->entries[0].offset, -16) << "signed in version 1";

    const bytes edits0 = full(0) + be(2, 4) + be(1000, 4) + be(0xffffffff, 4) + be(0x10000, 4) +
                         be(5000, 4) + be(1024, 4) + be(0x10000, 4);
    const auto narrow = read_edit_list(edits0);
    ASSERT_TRUE(narrow);
    ASSERT_EQ(narrow->entries.size(), 2u);
    EXPECT_EQ(narrow->entries[0].duration, 1000u);
    EXPECT_EQ(narrow->entries[0].media_time, -1) << "an empty edit";
    EXPECT_EQ(narrow->entries[0].rate, 0x10000);
    EXPECT_EQ(narrow->entries[1].duration, 5000u);
    EXPECT_EQ(narrow->entries[1].media_time, 1024);

    const std::uint64_t long_time = std::uint64_t{1} << 33;
    const bytes edits1 = full(1) + be(2, 4) + be(long_time, 8) + be(~0ull, 8) + be(0x8000, 4) +
                         be(7, 8) + be(long_time + 5, 8) + be(0x10000, 4);
    const auto wide = read_edit_list(edits1);
    ASSERT_TRUE(wide);
    ASSERT_EQ(wide->entries.size(), 2u);
    EXPECT_EQ(wide->entries[0].duration, long_time);
    EXPECT_EQ(wide->entries[0].media_time, -1);
    EXPECT_EQ(wide->entries[0].rate, 0x8000);
    EXPECT_EQ(wide->entries[1].duration, 7u);
    EXPECT_EQ(wide->entries[1].media_time, static_cast<std::int64_t>(long_time + 5));
}

TEST(BoxContents, ContentsCutShortGiveWhatTheyHoldWhole)
{
    // Tables: the entries that are there whole, and the count they claim.
    const bytes stts = full(0) + be(3, 4) + be(1, 4) + be(10, 4) + be(2, 4) + be(20, 4) + be(4, 3);
    const auto times = read_decoding_times(stts);
    ASSERT_TRUE(times);
    EXPECT_EQ(times->declared, 3u);
    EXPECT_FALSE(times->whole());
    EXPECT_EQ(runs(*times),
              (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{1, 10}, {2, 20}}));
    for (std::size_t cut = 0; cut < 8; ++cut)
        EXPECT_FALSE(read_decoding_times(bytes_view(stts).first(cut))) << "no room for the count";

    const auto lying = read_sync_samples(full(0) + be(0xffffffff, 4) + be(1, 4));
    ASSERT_TRUE(lying);
    EXPECT_EQ(lying->entries, std::vector<std::uint32_t>{1});
    EXPECT_FALSE(lying->whole());

    const bytes edits = full(1) + be(2, 4) + be(1, 8) + be(0, 8) + be(0x10000, 4) + be(2, 8);
    const auto cut_edit = read_edit_list(edits);
    ASSERT_TRUE(cut_edit);
    EXPECT_EQ(cut_edit->entries.size(), 1u) << "the second edit is cut off";

    const auto offsets = read_chunk_offsets(full(0) + be(2, 4) + be(7, 8) + be(9, 4), true);
    ASSERT_TRUE(offsets);
    EXPECT_EQ(offsets->entries, std::vector<std::uint64_t>{7});

    const auto uniform = read_sample_sizes(full(0) + be(512, 4) + be(1000, 4) + be(7, 4));
    ASSERT_TRUE(uniform);
    EXPECT_EQ(uniform->count, 1000u);
    EXPECT_TRUE(uniform->sizes.empty());
    EXPECT_TRUE(uniform->whole()) << "one size for every sample: no table follows";
    const auto short_sizes = read_sample_sizes(full(0) + be(0, 4) + be(3, 4) + be(5, 4) + be(6, 4));
    ASSERT_TRUE(short_sizes);
    EXPECT_EQ(short_sizes->sizes, (std::vector<std::uint32_t>{5, 6}));
    EXPECT_FALSE(short_sizes->whole());
    EXPECT_FALSE(read_sample_sizes(full(0) + be(0, 4) + be(3, 2)));

    // Headers: the fields before the cut.
    const bytes mvhd = full(0) + be(1, 4) + be(2, 4) + be(600, 4) + be(1200, 4);
    const auto cut_movie = read_movie_header(bytes_view(mvhd).first(16));
    ASSERT_TRUE(cut_movie);
    EXPECT_EQ(cut_movie->timescale, 600u);
    EXPECT_FALSE(cut_movie->duration);
    EXPECT_FALSE(cut_movie->next_track_id);
    const auto wide_cut = read_movie_header(full(1) + bytes(8, 0) + be(600, 4));
    ASSERT_TRUE(wide_cut);
    EXPECT_FALSE(wide_cut->timescale) << "version 1 puts the time scale 8 bytes further";
    EXPECT_FALSE(read_movie_header({}));
    EXPECT_FALSE(read_track_header({}));
    EXPECT_FALSE(read_media_header({}));

    const auto cut_track = read_track_header(full(0) + be(1, 4) + be(2, 4) + be(3, 4) + be(0, 4) +
                                             be(250, 4) + bytes(20, 0));
    ASSERT_TRUE(cut_track);
    EXPECT_EQ(cut_track->track_id, 3u);
    EXPECT_EQ(cut_track->duration, 250u);
    EXPECT_FALSE(cut_track->width);

    const bytes hdlr = full(0) + be(0, 4) + text("vide");
    EXPECT_EQ(read_handler_type(hdlr), "vide");
    EXPECT_FALSE(read_handler_type(bytes_view(hdlr).first(11)));
}
