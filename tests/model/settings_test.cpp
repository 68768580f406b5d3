// The dashcam's settings read from "bbox.ini" and "bbox.cfg" and written back as "bbox.cfg" on
// the card volume: value tables, capability flags, the time zone and clock, and text that could
// break the file.
#include "card/processmanager.h"
#include "card/workingfolder.h"
#include "model/settingsviewmodel.h"
#include "qtprinters.h"
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvane;

namespace {

// A card whose "bbox.ini" is in the working folder (the test program's own, see
// modeltestsupport.cpp) and whose volume holds `cfg` ("" for none).
class SettingsCard
{
public:
    SettingsCard(const QByteArray &ini, const QByteArray &cfg)
    {
        WorkingFolder::deleteDirectory(WorkingFolder::tempRoot() + "cfg");
        QDir().mkpath(WorkingFolder::tempRoot() + "cfg");
        if (!ini.isEmpty())
            korvane::test::writeFile(WorkingFolder::tempRoot() + "cfg/bbox.ini", ini);
        if (!cfg.isEmpty())
            korvane::test::writeFile(m_volume.filePath("bbox.cfg"), cfg);
        card.setCardVolume(m_volume.path());
        settings.loadSettings();
    }
    Settings written() const
    {
        return parseSettings(
            QString::fromUtf8(korvane::test::readFile(m_volume.filePath("bbox.cfg"))));
    }
    QString volume() const { return m_volume.path(); }

    ProcessManager card;
    SettingsViewModel settings{card};

private:
    QTemporaryDir m_volume;
};

} // namespace

TEST(Settings, TablesReadAndWriteTheirEntries)
{
    SettingsCard card("[bbox]\nuse_hybrid=1\n",
                      "volume=88\nlimit_volt=13300\ngmt=-5\nmem_type=abc\n");
    EXPECT_EQ(card.settings.volumeIndex, 2);
    EXPECT_EQ(card.settings.limitVoltIndex, 8);
    EXPECT_EQ(card.settings.gmtIndex, 7);
    EXPECT_EQ(card.settings.storagePriority, 0);
    card.settings.gmtIndex = 21;
    ASSERT_TRUE(card.settings.saveSettings());
    const Settings written = card.written();
    EXPECT_EQ(written["volume"], "88");
    EXPECT_EQ(written["limit_volt"], "13300");
    EXPECT_EQ(written["gmt"], "9");
    EXPECT_EQ(written["pc_edit"], "1");

    SettingsCard unknown("[bbox]\nuse_hybrid=0\n", "volume=50\nlimit_volt=13300\n");
    EXPECT_EQ(unknown.settings.volumeIndex, 0);
    EXPECT_EQ(unknown.settings.limitVoltIndex, 0) << "no hybrid cable: no hybrid voltages";
    ASSERT_TRUE(unknown.settings.saveSettings());
    EXPECT_EQ(unknown.written()["volume"], "0");
    EXPECT_EQ(unknown.written()["limit_volt"], "0");

    // A time zone beyond the list: none chosen, written back as it came, however large.
    for (const QByteArray gmt : {"15", "-13", "2147483647", "99999999999999999999"}) {
        SettingsCard far("[bbox]\n", "gmt=" + gmt + "\n");
        EXPECT_EQ(far.settings.gmtIndex, -1) << gmt.constData();
        ASSERT_TRUE(far.settings.saveSettings());
        EXPECT_EQ(far.written()["gmt"], QString::fromLatin1(gmt));
    }
}

TEST(Settings, CapabilitiesComeFromTheIniAlone)
{
    SettingsCard card("[bbox]\nuse_ldws=0\nuse_fvsa=\nuse_safe_drive=+1\nmodel=KV-5\n",
                      "ldws=1\nfvsa=1\nsafe_drive=1\nres_ch1=1920x1080\n");
    EXPECT_FALSE(card.settings.useLdws);
    EXPECT_FALSE(card.settings.useFvsa) << "an empty value is off";
    EXPECT_TRUE(card.settings.useSafeDrive);
    EXPECT_TRUE(card.settings.useHybrid) << "a missing key is on";
    EXPECT_FALSE(card.settings.isLdws);
    EXPECT_TRUE(card.settings.isSafeDrive);
    EXPECT_EQ(card.settings.modelName, "") << "bbox.cfg wins, and holds no model";
    ASSERT_TRUE(card.settings.saveSettings());
    const Settings written = card.written();
    EXPECT_EQ(written["ldws"], "0");
    EXPECT_EQ(written["res_ch1"], "1920x1080") << "keys the model does not know stay";
    EXPECT_FALSE(written.contains("model")) << "keys of bbox.ini alone stay out";
    EXPECT_FALSE(written.contains("use_ldws"));

    card.settings.resetSettings();
    EXPECT_EQ(card.settings.modelName, "KV-5");
    EXPECT_EQ(card.settings.volumeIndex, 3) << "missing in bbox.ini: the default";
}

TEST(Settings, TheClockIsWrittenOnlyWhenAsked)
{
    SettingsCard card("[bbox]\n", "sync_time=2020,01,01,00,00,00\n");
    EXPECT_EQ(card.settings.syncTime, "2020,01,01,00,00,00");
    ASSERT_TRUE(card.settings.saveSettings());
    EXPECT_FALSE(card.written().contains("sync_time"));
    card.settings.isTimeSyncEnabled = true;
    card.settings.changedDate = QDateTime(QDate(2025, 3, 5), QTime(14, 7, 9));
    ASSERT_TRUE(card.settings.saveSettings());
    EXPECT_EQ(card.written()["sync_time"], "2025,03,05,14,07,09");
}

// A line break in a Wi-Fi name would write keys of its own into the dashcam's file.
TEST(Settings, TextThatWouldBreakTheFileIsRefused)
{
    SettingsCard card("[bbox]\n", "wifi_ssid_1=home\nvolume=60\n");
    for (const QString &bad :
         {QStringLiteral("cafe\nvolume=0"), QStringLiteral("a\rb"), QStringLiteral("x=y"),
          QStringLiteral("home\u2028cafe"), QStringLiteral("pw\vword")}) {
        card.settings.wifiSSID = bad;
        EXPECT_FALSE(card.settings.saveSettings());
        EXPECT_EQ(card.settings.saveProblem(), "Wi-Fi 이름에는 줄바꿈이나 '='를 쓸 수 없습니다.");
        EXPECT_EQ(card.written()["wifi_ssid_1"], "home") << "nothing written";
    }
    card.settings.wifiSSID = QStringLiteral("카페 wifi");
    card.settings.wifiPW = QStringLiteral("pw\n");
    EXPECT_FALSE(card.settings.saveSettings());
    card.settings.wifiPW = QStringLiteral("secret");
    EXPECT_TRUE(card.settings.saveSettings());
    EXPECT_EQ(card.settings.saveProblem(), "");
    EXPECT_EQ(card.written()["wifi_ssid_1"], "카페 wifi");

    card.card.setCardVolume(card.volume() + "/gone");
    EXPECT_FALSE(card.settings.saveSettings()) << "a card volume that takes no file";
    EXPECT_EQ(card.settings.saveProblem(), "SD 카드에 설정을 저장하지 못했습니다.");
}

TEST(Settings, WithoutFilesTheStartValuesStay)
{
    SettingsCard card("", "");
    EXPECT_TRUE(card.settings.useLdws);
    EXPECT_EQ(card.settings.volumeIndex, 3);
    EXPECT_EQ(card.settings.eventSensitivity, 1);
    ASSERT_TRUE(card.settings.saveSettings());
    EXPECT_EQ(card.written().size(), 24) << "the 23 written keys and pc_edit, without sync_time";
}
