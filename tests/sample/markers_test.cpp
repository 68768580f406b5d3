#include "markers.h"

#include <gtest/gtest.h>

#include <string>

using namespace sample;
using namespace std::string_literals;

TEST(Markers, FindsEveryFrameBoundaryPattern)
{
    EXPECT_FALSE(findFrameMarker("\xff\xe3\x28\xc4 plain sound \0\0\1\x67"s).has_value());
    EXPECT_EQ(findFrameMarker("ab\0\0\0\1\x41"s), "\0\0\0\1\x41"s);
    EXPECT_EQ(findFrameMarker("xx\0\0\0\1\x0c"s), "\0\0\0\1\x0c"s);
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
