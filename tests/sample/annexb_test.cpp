#include "annexb.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace sample;
using namespace std::string_literals;

namespace {
const std::string sps = "\x67\x42\xc0\x1e\xd9"s;
const std::string pps = "\x68\xce\x3c\x80"s;
const std::string sei = "\x06\x05\x10\xff"s;
const std::string idr = "\x65\x88\x84\x21"s;     // first_mb_in_slice 0
const std::string pFrame = "\x61\x9a\x02\x20"s;  // nal_ref_idc 3, first_mb_in_slice 0
const std::string secondSlice = "\x41\x40\x01"s; // first_mb_in_slice != 0
const std::string four = "\0\0\0\1"s;
const std::string three = "\0\0\1"s;
} // namespace

TEST(AnnexB, PicturesAreShapedAsTheDashcamWritesThem)
{
    // SEI and an access unit delimiter dropped, parameter sets repeated before the second key
    // frame, the predicted slice relabelled 0x41, a picture's second slice kept in it.
    const std::string aud = "\x09\xf0"s;
    const std::string stream = four + aud + four + sps + four + pps + four + sei + three + idr +
                               four + pFrame + four + secondSlice + four + idr;
    const auto pictures = dashcamAccessUnits(stream);
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_EQ(pictures[0], four + sps + four + pps + four + idr);
    EXPECT_EQ(pictures[1], four + "\x41"s + pFrame.substr(1) + four + secondSlice);
    EXPECT_EQ(pictures[2], four + sps + four + pps + four + idr);
}

TEST(AnnexB, StreamsThatCannotBeShapedAreRefused)
{
    EXPECT_THROW(dashcamAccessUnits(four + idr), std::runtime_error) << "key frame without SPS";
    EXPECT_THROW(dashcamAccessUnits(four + sps + four + pps + four + idr + four + "\x01\x9a"s),
                 std::runtime_error)
        << "a non-reference picture cannot be relabelled";
    EXPECT_THROW(dashcamAccessUnits(four + secondSlice), std::runtime_error);
}
