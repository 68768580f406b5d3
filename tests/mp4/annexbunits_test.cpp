// The Annex B splitter on start codes of both lengths, escapes, garbage around the units and
// nothing at all; and the zero-pair search it steps with.
#include "mp4testbytes.h"

#include "mp4/annexbunits.h"
#include "mp4/zeropairs.h"

#include <gtest/gtest.h>

#include <random>

using namespace mp4;
using namespace mp4::test;

namespace {

const bytes three{0, 0, 1};
const bytes four{0, 0, 0, 1};
const bytes sps{0x67, 0x42, 0xc0, 0x1e, 0xd9};
const bytes pps{0x68, 0xce, 0x3c, 0x80};
const bytes idr{0x65, 0x88, 0x84, 0x21};
const bytes slice{0x41, 0x9a, 0x02, 0x20};

// The units as copies, after checking that each is a view into the stream, in order.
std::vector<bytes> units_of(const bytes &stream)
{
    std::vector<bytes> out;
    const std::uint8_t *after_last = stream.data();
    for (const auto unit : split_annexb(stream)) {
        EXPECT_GE(unit.data(), after_last);
        EXPECT_LE(unit.data() + unit.size(), stream.data() + stream.size());
        after_last = unit.data() + unit.size();
        out.emplace_back(unit.begin(), unit.end());
    }
    return out;
}

} // namespace

TEST(AnnexB, SplitsOnStartCodesOfThreeAndFourBytes)
{
    EXPECT_EQ(units_of(four + sps + four + pps + three + idr + bytes{0} + three + slice),
              (std::vector<bytes>{sps, pps, idr, slice}))
        << "the zero before a three-byte start code is no part of the unit before it";
    EXPECT_EQ(units_of(three + sps + bytes{0, 0, 0, 0, 0} + three + idr),
              (std::vector<bytes>{sps, idr}))
        << "any run of zeros before the 0x01";
    // A unit holds at least its header byte: a second start code straight after a four-byte
    // one leaves the zero between them as a unit, and the rest reads as a three-byte code.
    EXPECT_EQ(units_of(four + four + idr), (std::vector<bytes>{{0}, idr}));
}

TEST(AnnexB, EscapesAndZerosThatStartNoCodeStayInTheUnit)
{
    // 00 00 03 is an emulation prevention escape, 00 00 02 and 00 00 00 02 are no start code.
    const bytes escaped{0x65, 0x00, 0x00, 0x03, 0x01, 0x00, 0x00, 0x03, 0x00, 0x7f};
    const bytes near_codes{0x41, 0x00, 0x00, 0x02, 0x05, 0x00, 0x00, 0x00, 0x02, 0x06};
    EXPECT_EQ(units_of(four + escaped + four + near_codes),
              (std::vector<bytes>{escaped, near_codes}));
}

TEST(AnnexB, GarbageAroundTheUnitsIsNoUnit)
{
    const bytes leading{9, 9, 0, 1, 0, 0, 2, 0};
    EXPECT_EQ(units_of(leading + four + sps + three + idr), (std::vector<bytes>{sps, idr}))
        << "bytes before the first start code";
    EXPECT_EQ(units_of(four + sps + four + idr + bytes{0, 0, 0}), (std::vector<bytes>{sps, idr}))
        << "zeros after the last unit";
    EXPECT_EQ(units_of(four + sps + four + idr + four), (std::vector<bytes>{sps, idr}))
        << "a start code with nothing after it";
    EXPECT_EQ(units_of(four + sps + four + idr + bytes{0, 0}), (std::vector<bytes>{sps, idr}))
        << "a start code cut off";
    EXPECT_EQ(units_of(three + bytes{0, 0}), (std::vector<bytes>{{}}))
        << "a last unit of zeros only is left empty";
}

TEST(AnnexB, NothingToSplit)
{
    EXPECT_TRUE(split_annexb({}).empty());
    EXPECT_TRUE(units_of(bytes{1, 2, 0, 1, 3}).empty());
    EXPECT_TRUE(units_of(bytes(100, 0)).empty());
    EXPECT_TRUE(units_of(four).empty());
    EXPECT_TRUE(units_of(bytes{0, 0}).empty());
}

TEST(ZeroPairs, FoundWhereverTheyStandAgainstABytewiseSearch)
{
    // Buffers long enough for every block size, zeros sparse and dense, starts at every offset.
    std::mt19937 random(5);
    for (int round = 0; round < 3000; ++round) {
        const size_t size = random() % 300;
        bytes data(size);
        const auto density = static_cast<unsigned>(2 + random() % 40);
        for (uint8_t &b : data)
            b = random() % density == 0 ? 0 : static_cast<uint8_t>(1 + random() % 255);
        const size_t from = size == 0 ? 0 : random() % (size + 1);
        size_t expected = size;
        for (size_t i = from; i + 1 < size; ++i) {
            if (data[i] == 0 && data[i + 1] == 0) {
                expected = i;
                break;
            }
        }
        ASSERT_EQ(find_zero_pair(data.data(), size, from), expected) << "round " << round;
    }
}
