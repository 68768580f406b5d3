#include "records/settingstext.h"

#include <gtest/gtest.h>

using namespace korvane;

TEST(ParseSettings, KeysAndValuesLoseOuterBlanks)
{
    const Settings settings = parseSettings(u"wifi_ssid_1 = my cam \t\n\tvolume=3");
    EXPECT_EQ(settings.value(QStringLiteral("wifi_ssid_1")), QLatin1String("my cam"));
    EXPECT_EQ(settings.value(QStringLiteral("volume")), QLatin1String("3"));
    EXPECT_EQ(settings.size(), 2);
}

TEST(ParseSettings, OnlyLinesWithExactlyOneEqualsSignCount)
{
    const Settings settings = parseSettings(u"[bbox]\n\na=b=c\nno equals\n=empty key\nx=\n");
    EXPECT_EQ(settings, (Settings{{QString(), QStringLiteral("empty key")},
                                  {QStringLiteral("x"), QString()}}));
}

TEST(ParseSettings, AnyLineBreakSplitsAndTheLaterValueWins)
{
    const Settings settings = parseSettings(u"a=1\r\nb=2\rc=3\u2028a=4");
    EXPECT_EQ(settings, (Settings{{"a", "4"}, {"b", "2"}, {"c", "3"}}));
}

TEST(ParseSettings, KoreanTextSurvives)
{
    EXPECT_EQ(parseSettings(u"wifi_ssid=블랙박스 1").value(QStringLiteral("wifi_ssid")),
              QStringLiteral("블랙박스 1"));
}

TEST(FormatSettings, SortedLinesUnderTheSectionAndNoTrailingBreak)
{
    const Settings settings{{"volume", "3"}, {"adas", "on"}, {"wifi_pw", "12345678"}};
    const QString text = formatSettings(settings);
    EXPECT_EQ(text, QLatin1String("[bbox]\nadas=on\nvolume=3\nwifi_pw=12345678"));
    EXPECT_EQ(parseSettings(text), settings);
}

TEST(FormatSettings, EmptySettingsAreTheSectionLine)
{
    EXPECT_EQ(formatSettings({}), QLatin1String("[bbox]\n"));
    EXPECT_TRUE(parseSettings(formatSettings({})).isEmpty());
}
