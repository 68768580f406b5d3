#include "bitstream.h"
#include "h264units.h"
#include "samplewriter.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace salvex;
using namespace salvex::test;

namespace {

struct Writer
{
    memory_mp4 mp4;
    nal_sample_writer writer;
    explicit Writer(int fps = 30)
    {
        EXPECT_EQ(writer.mp4_add_track_video(mp4.mux.get(), 320, 240, fps), 0);
    }
    int write(const bytes &data) { return writer.mp4_h26x_write_nal(data.data(), data.size()); }
    const track_t &track() const { return mp4.mux->tracks().front(); }
};

uint32_t pps_id_of(const bytes &escaped_pps)
{
    bit_reader_t reader(escaped_pps.data() + 1, escaped_pps.size() - 1);
    return *reader.read_ue();
}

// The ids a written slice refers to: its PPS id after first_mb and slice type.
uint32_t slice_pps_id(const bytes &file, const sample_entry_rec &sample)
{
    bit_reader_t reader(file.data() + sample.offset + 5, static_cast<size_t>(sample.size) - 5);
    reader.read_ue();
    reader.read_ue();
    return *reader.read_ue();
}

} // namespace

TEST(SampleWriter, KeyFrameGivesConfigurationAndOneSyncSample)
{
    Writer w;
    const bytes idr = slice_unit(true, 0, 0);
    ASSERT_EQ(w.write(annex_b({sps_unit(0), pps_unit(0, 0), idr})), 0);
    ASSERT_EQ(w.track().sps.size(), 1u);
    ASSERT_EQ(w.track().pps.size(), 1u);
    EXPECT_EQ(w.track().sps.front(), sps_unit(0));
    ASSERT_EQ(w.track().samples.size(), 1u);
    const sample_entry_rec &sample = w.track().samples.front();
    EXPECT_EQ(sample.flag_random_access, 1u);
    EXPECT_EQ(sample.duration, 3000u);
    ASSERT_EQ(sample.size, 4 + idr.size());
    const bytes written(w.mp4.file.begin() + static_cast<long>(sample.offset),
                        w.mp4.file.begin() + static_cast<long>(sample.offset + sample.size));
    EXPECT_EQ(written, (bytes{0, 0, 0, static_cast<uint8_t>(idr.size())} + idr));
}

TEST(SampleWriter, PicturesBeforeTheFirstKeyFrameAreDropped)
{
    Writer w;
    EXPECT_EQ(w.write(annex_b({sps_unit(0), pps_unit(0, 0), slice_unit(false, 0, 0)})), 0);
    EXPECT_TRUE(w.track().samples.empty());
    EXPECT_EQ(w.write(annex_b({slice_unit(true, 0, 0)})), 0);
    EXPECT_EQ(w.write(annex_b({slice_unit(false, 0, 0)})), 0);
    ASSERT_EQ(w.track().samples.size(), 2u);
    EXPECT_EQ(w.track().samples[1].flag_random_access, 0u);
}

TEST(SampleWriter, ParameterSetOrSliceBeforeAnySpsFails)
{
    Writer w;
    EXPECT_EQ(w.write(annex_b({pps_unit(0, 0), sps_unit(0)})), h26x_malformed);
    EXPECT_TRUE(w.track().sps.empty()) << "nothing after the failure is written";
    EXPECT_EQ(w.write(annex_b({slice_unit(true, 0, 0)})), h26x_malformed);
}

TEST(SampleWriter, SetsDifferingOnlyInIdShareOneSlot)
{
    Writer w;
    ASSERT_EQ(w.write(annex_b({sps_unit(3), pps_unit(5, 3), sps_unit(9), pps_unit(6, 9),
                               slice_unit(true, 0, 6)})),
              0);
    // One slot each: the first free id whose code is as long as the first set's own (3, 5).
    EXPECT_EQ(w.track().sps.size(), 1u);
    EXPECT_EQ(w.track().sps.front(), sps_unit(3));
    ASSERT_EQ(w.track().pps.size(), 1u);
    EXPECT_EQ(w.track().pps.front(), pps_unit(3, 3));
    EXPECT_EQ(slice_pps_id(w.mp4.file, w.track().samples.front()), 3u);
}

TEST(SampleWriter, DistinctSetsWithTheSameIdGetIdsOfTheirOwn)
{
    Writer w;
    ASSERT_EQ(w.write(annex_b({sps_unit(0, 0), pps_unit(0, 0), slice_unit(true, 0, 0)})), 0);
    // A second, different SPS under the same id, and a PPS for it: both move to slot 1.
    ASSERT_EQ(w.write(annex_b({sps_unit(0, 2), pps_unit(0, 0), slice_unit(true, 0, 0)})), 0);
    ASSERT_EQ(w.track().sps.size(), 2u);
    EXPECT_EQ(w.track().sps[1], sps_unit(1, 2));
    ASSERT_EQ(w.track().pps.size(), 2u);
    EXPECT_EQ(w.track().pps[1], pps_unit(1, 1));
    EXPECT_EQ(pps_id_of(w.track().pps[1]), 1u);
    EXPECT_EQ(slice_pps_id(w.mp4.file, w.track().samples[0]), 0u);
    EXPECT_EQ(slice_pps_id(w.mp4.file, w.track().samples[1]), 1u);
}

TEST(SampleWriter, SlicesOfOnePictureFormOneSample)
{
    Writer w;
    const bytes first = slice_unit(true, 0, 0);
    const bytes second = slice_unit(true, 40, 0);
    ASSERT_EQ(w.write(annex_b({sps_unit(0), pps_unit(0, 0), first, second})), 0);
    ASSERT_EQ(w.track().samples.size(), 1u);
    EXPECT_EQ(w.track().samples.front().size, 4 + first.size() + 4 + second.size());
}

TEST(SampleWriter, UnitsWithoutPictureDataAreLeftOutOfThePicture)
{
    Writer w;
    // Delimiter, SEI, filler, end of stream around the slice: the sample holds the slice alone.
    const bytes idr = slice_unit(true, 0, 0);
    ASSERT_EQ(w.write(annex_b({{0x09, 0xf0},
                               sps_unit(0),
                               pps_unit(0, 0),
                               {0x06, 0x05, 0x01, 0x80},
                               idr,
                               {0x0c, 0xff, 0x80},
                               {0x0b}})),
              0);
    ASSERT_EQ(w.track().samples.size(), 1u);
    EXPECT_EQ(w.track().samples.front().size, 4 + idr.size());
    // Parameter sets and SEI without a picture make no sample, and extend none.
    ASSERT_EQ(w.write(annex_b({sps_unit(0), pps_unit(0, 0), {0x06, 0x05, 0x01, 0x80}})), 0);
    EXPECT_EQ(w.track().samples.size(), 1u);
    EXPECT_EQ(w.track().samples.front().size, 4 + idr.size());
}

TEST(SampleWriter, SamplesLastTheirCamerasPictureTimeWithNothingLostToRounding)
{
    for (const auto &[fps, first, total] :
         {std::tuple{15, 6000u, 90000u}, std::tuple{25, 3600u, 90000u},
          std::tuple{7, 12857u, 90000u}, std::tuple{120, 3000u, 30 * 3000u}}) {
        Writer w(fps);
        ASSERT_EQ(w.write(annex_b({sps_unit(0), pps_unit(0, 0), slice_unit(true, 0, 0)})), 0);
        const int pictures = fps > 60 ? 30 : fps;
        for (int i = 1; i < pictures; ++i)
            ASSERT_EQ(w.write(annex_b({slice_unit(false, 0, 0)})), 0);
        uint64_t sum = 0;
        for (const sample_entry_rec &sample : w.track().samples)
            sum += sample.duration;
        EXPECT_EQ(w.track().samples.front().duration, first) << fps;
        EXPECT_EQ(sum, total) << fps << " pictures a second last one second";
    }
}

TEST(SampleWriter, EmulationPreventionSurvivesTheRewrite)
{
    Writer w;
    ASSERT_EQ(w.write(annex_b({sps_unit(0), pps_unit(0, 0)})), 0);
    bytes idr = slice_unit(true, 0, 0);
    const bytes escaped{0x00, 0x00, 0x03, 0x01, 0x00, 0x00, 0x03, 0x04, 0x80};
    idr.insert(idr.end() - 1, escaped.begin(), escaped.end());
    ASSERT_EQ(w.write(annex_b({idr})), 0);
    const sample_entry_rec &sample = w.track().samples.front();
    const bytes written(w.mp4.file.begin() + static_cast<long>(sample.offset) + 4,
                        w.mp4.file.begin() + static_cast<long>(sample.offset + sample.size));
    // 00 00 03 01 keeps its escape on the way back out; 00 00 03 04 had a needless 03 that is
    // real data once read, and so gets escaped itself.
    bytes expected(idr.begin(), idr.end() - 1 - static_cast<long>(escaped.size()));
    const bytes out{0x00, 0x00, 0x03, 0x01, 0x00, 0x00, 0x03, 0x03, 0x04, 0x80};
    expected.insert(expected.end(), out.begin(), out.end());
    expected.push_back(idr.back());
    EXPECT_EQ(written, expected);
}

TEST(SampleWriter, MalformedUnitsAreRefusedAndNeverReachTheConfiguration)
{
    const bytes sps_id_32 = sps_unit(32);
    const bytes pps_id_256 = pps_unit(256, 0);
    const bytes pps_of_sps_40 = pps_unit(1, 40);
    const bytes long_code{0x67, 66, 0xc0, 30, 0x00, 0x00, 0x40, 0x80}; // 17 leading zeros
    const bytes cut_sps{0x67, 66, 0xc0};
    const bytes cut_slice{0x65};
    for (const bytes &bad : {sps_id_32, long_code, cut_sps}) {
        Writer w;
        EXPECT_EQ(w.write(annex_b({bad})), h26x_malformed);
        EXPECT_TRUE(w.track().sps.empty());
    }
    for (const bytes &bad : {pps_id_256, pps_of_sps_40, cut_slice, bytes{0x41, 0x00}}) {
        Writer w;
        ASSERT_EQ(w.write(annex_b({sps_unit(0), pps_unit(0, 0), slice_unit(true, 0, 0)})), 0);
        EXPECT_EQ(w.write(annex_b({bad})), h26x_malformed);
        EXPECT_EQ(w.track().pps.size(), 1u);
        EXPECT_EQ(w.track().samples.size(), 1u);
    }
}

TEST(SampleWriter, FullSlotTableDropsNewSets)
{
    Writer w;
    for (uint32_t i = 0; i < 32; ++i)
        ASSERT_EQ(w.write(annex_b({sps_unit(0, i)})), 0);
    EXPECT_EQ(w.write(annex_b({sps_unit(0, 32)})), h26x_malformed);
    EXPECT_EQ(w.track().sps.size(), 32u);
    for (const bytes &set : w.track().sps)
        EXPECT_GE(set.size(), 4u);
    EXPECT_EQ(w.write(annex_b({sps_unit(0, 5)})), 0) << "a set seen before keeps its slot";
}

TEST(SampleWriter, H265IsLearnedFromItsVpsAndAPictureIsOneSample)
{
    memory_mp4 mp4;
    nal_sample_writer hevc;
    ASSERT_EQ(hevc.mp4_add_track_video(mp4.mux.get(), 320, 240, 30), 0);
    const bytes vps{0x40, 0x01, 0x0c}, sps{0x42, 0x01, 0x01}, pps{0x44, 0x01, 0xc1};
    const bytes idr{0x26, 0x01, 0xaf}, second_slice{0x26, 0x01, 0x2f}, trail{0x02, 0x01, 0xd0};
    const bytes sei{0x4e, 0x01, 0x05, 0x80}, delimiter{0x46, 0x01, 0x50};
    const track_t &track = mp4.mux->tracks().front();
    const bytes early = annex_b({trail});
    EXPECT_EQ(hevc.mp4_h26x_write_nal(early.data(), early.size()), 0);
    EXPECT_TRUE(track.samples.empty()) << "nothing before the parameter sets";

    const bytes key = annex_b({delimiter, vps, sps, pps, sei, idr, second_slice});
    ASSERT_EQ(hevc.mp4_h26x_write_nal(key.data(), key.size()), 0);
    const bytes predicted = annex_b({delimiter, trail});
    ASSERT_EQ(hevc.mp4_h26x_write_nal(predicted.data(), predicted.size()), 0);
    EXPECT_EQ(track.info.object_type_indication, 0x23u);
    EXPECT_EQ(track.vps.size(), 1u);
    ASSERT_EQ(track.samples.size(), 2u);
    EXPECT_EQ(track.samples[0].flag_random_access, 1u);
    EXPECT_EQ(track.samples[0].size, 5 * (4 + idr.size())) << "sets and both slices, no SEI";
    EXPECT_EQ(track.samples[1].flag_random_access, 0u);
    EXPECT_EQ(track.samples[1].size, 4 + trail.size());

    // Another SPS under the same id: the configuration keeps the first, the picture carries
    // the new one in front of its slices.
    const bytes changed{0x42, 0x01, 0x02};
    const bytes next_key = annex_b({vps, changed, pps, idr});
    ASSERT_EQ(hevc.mp4_h26x_write_nal(next_key.data(), next_key.size()), 0);
    ASSERT_EQ(track.sps.size(), 1u);
    EXPECT_EQ(track.sps.front(), sps);
    const sample_entry_rec &last = track.samples.back();
    const bytes written(mp4.file.begin() + static_cast<long>(last.offset),
                        mp4.file.begin() + static_cast<long>(last.offset + last.size));
    EXPECT_EQ(written, (bytes{0, 0, 0, 3} + vps + bytes{0, 0, 0, 3} + changed + bytes{0, 0, 0, 3} +
                        pps + bytes{0, 0, 0, 3} + idr));
}
