#include "markers.h"

#include <gtest/gtest.h>

#include <string>

using namespace sample;
using namespace std::string_literals;

TEST(Markers, FindsEveryFrameBoundaryPattern)
{
    EXPECT_FALSE(findFrameMarker("\xff\xe3\x28\xc4 plain sound \0\0\1\x67"s).has_value());
    for (const std::string &unit : {"\x41"s, "\x0c"s, "\x06"s, "\x40\x01"s})
        EXPECT_EQ(findFrameMarker("ab\0\0\0\1"s + unit), "\0\0\0\1"s);
    EXPECT_EQ(findFrameMarker("..SHO00.."s), "SHO00"s);
    EXPECT_EQ(findFrameMarker("..moov"s), "moov"s);
}

TEST(Markers, MetadataTagNeedsFiveLengthCharacters)
{
    EXPECT_TRUE(hasMetadataTag("xxGPS-0001"));
    EXPECT_TRUE(hasMetadataTag("DAT12345"));
    EXPECT_FALSE(hasMetadataTag("DAT1234"));
    EXPECT_FALSE(hasMetadataTag("SHO12a45 GPS 1234"));
}
