#include "cardpath.h"

#include <gtest/gtest.h>

using namespace durnix;

TEST(CardPath, OnlyRelativePathsBelowTheRoot)
{
    EXPECT_EQ(card_path_parts("mov/normal/N_20241005_143012.mp4"),
              (std::vector<std::string>{"mov", "normal", "N_20241005_143012.mp4"}));
    EXPECT_EQ(card_path_parts("cfg"), (std::vector<std::string>{"cfg"}));
    EXPECT_EQ(card_path_parts("mov/normal/x'; touch owned; '.mp4"),
              (std::vector<std::string>{"mov", "normal", "x'; touch owned; '.mp4"}));
    for (const char *bad :
         {"", "/etc/passwd", "mov/../../etc", "..", ".", "mov//normal", "mov/", "./cfg", "mov/."})
        EXPECT_FALSE(card_path_parts(bad).has_value()) << bad;
}

TEST(CardPath, NamesKeepOneFieldOfAListingLine)
{
    EXPECT_EQ(escaped_name("N_20241005_143012.mp4"), "N_20241005_143012.mp4");
    EXPECT_EQ(escaped_name("with space\tand\ttab"), "with\\040space\\011and\\011tab");
    EXPECT_EQ(escaped_name("line\nbreak\\"), "line\\012break\\134");
    EXPECT_EQ(escaped_name("블랙박스 $(reboot).mp4"), "블랙박스\\040$(reboot).mp4");
}
