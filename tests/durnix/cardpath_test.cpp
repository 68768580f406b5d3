#include "cardpath.h"

#include <gtest/gtest.h>

#include <set>

using namespace durnix;

TEST(CardPath, OnlyRelativePathsBelowTheRoot)
{
    EXPECT_EQ(card_path_parts("mov/normal/N_20241005_143012.mp4"),
              (std::vector<std::string>{"mov", "normal", "N_20241005_143012.mp4"}));
    EXPECT_EQ(card_path_parts("cfg"), (std::vector<std::string>{"cfg"}));
    EXPECT_EQ(card_path_parts("mov/normal/x'; touch owned; '.mp4"),
              (std::vector<std::string>{"mov", "normal", "x'; touch owned; '.mp4"}));
    for (const char *bad :
         {"", "/etc/passwd", "mov/../../etc", "..", "mov//normal", "mov/", "./cfg", "mov/."})
        EXPECT_FALSE(card_path_parts(bad).has_value()) << bad;
}

TEST(CardPath, NamesKeepOneFieldOfAListingLine)
{
    EXPECT_EQ(escaped_name("N_20241005_143012.mp4"), "N_20241005_143012.mp4");
    EXPECT_EQ(escaped_name("with space\tand\ttab"), "with\\040space\\011and\\011tab");
    EXPECT_EQ(escaped_name("line\nbreak\\"), "line\\012break\\134");
    EXPECT_EQ(escaped_name("블랙박스 $(reboot).mp4"), "블랙박스\\040$(reboot).mp4");
}

TEST(CardPath, ListedNamesShowNoControlAndNameExactlyTheirFile)
{
    // Invalid UTF-8 (a lone byte, a cut sequence, an overlong slash, a surrogate), terminal
    // escapes, line breaks, a right-to-left override, a no-break space, Hangul.
    const std::vector<std::string> names{"a\xff.mp4",
                                         "a\xe1\x84.mp4",
                                         "a\xc0\xaf.mp4",
                                         "a\xed\xa0\x80.mp4",
                                         "\x1b[2J\x1b]0;x\a",
                                         "cr\rlf\nnul-free\x7f",
                                         "\xe2\x80\xae"
                                         "evil.mp4",
                                         "nb\xc2\xa0sp",
                                         "블랙박스 녹화.mp4",
                                         "back\\134slash",
                                         "a\xc3\xa9.mp4"};
    std::set<std::string> listed;
    for (const std::string &name : names) {
        const std::string shown = escaped_name(name);
        for (const char c : shown)
            EXPECT_TRUE(static_cast<unsigned char>(c) > 0x20 && c != 0x7f) << shown;
        EXPECT_EQ(shown.find("\xe2\x80\xae"), std::string::npos) << "the override is escaped";
        EXPECT_TRUE(listed.insert(shown).second) << "two names listed alike: " << shown;
        EXPECT_EQ(card_path_parts("mov/" + shown), (std::vector<std::string>{"mov", name}))
            << shown;
    }
    EXPECT_EQ(escaped_name("블랙박스.mp4"), "블랙박스.mp4") << "printable UTF-8 stays";
    EXPECT_EQ(escaped_name("a\xff.mp4"), "a\\377.mp4");
    EXPECT_EQ(escaped_name("\xe2\x80\xae"), "\\342\\200\\256");
    EXPECT_EQ(escaped_name("a/b"), "a\\057b") << "a damaged entry's slash is no path";
    EXPECT_EQ(card_path_parts("mov/a\\057b"), (std::vector<std::string>{"mov", "a/b"}));
    EXPECT_FALSE(card_path_parts("mov/\\056\\056").has_value()) << "an escaped .. names nothing";
    EXPECT_EQ(card_path_parts("."), std::vector<std::string>{}) << "the root";
    // Format characters, variation selectors, private use: escaped too.
    EXPECT_EQ(escaped_name("a\xd8\x80"
                           "b"),
              "a\\330\\200b");
    EXPECT_EQ(escaped_name("\xef\xb8\x8f"), "\\357\\270\\217");
    EXPECT_EQ(escaped_name("\xee\x80\x80"), "\\356\\200\\200");
}
