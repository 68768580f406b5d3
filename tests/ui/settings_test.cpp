// The dashcam's settings window opened from the player screen on a sample card: what it shows
// for the card's files, what its controls store, and what reaches the card when saving.
#include "windowtestsupport.h"

#include "card/workingfolder.h"
#include "playbacktestsupport.h"
#include "records/settingstext.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QPointer>
#include <QTest>

namespace korvane::test {
namespace {

class SettingsWindow : public WindowTest
{
protected:
    // The dashcam's files as the window reads them: "bbox.ini" from the working copy of the
    // card's cfg folder, "bbox.cfg" from the card volume.
    void writeCardSettings(const QByteArray &ini, const QByteArray &cfg)
    {
        writeFile(WorkingFolder::tempRoot() + QStringLiteral("cfg/bbox.ini"), ini);
        writeFile(cfgPath(), cfg);
    }
    QString cfgPath() const { return cardVolume() + QStringLiteral("/bbox.cfg"); }
    Settings written() const { return parseSettings(QString::fromUtf8(readFile(cfgPath()))); }

    QQuickWindow *openSettings()
    {
        click(QStringLiteral("settings"));
        QQuickWindow *shown = nullptr;
        EXPECT_TRUE(
            waitUntil([&] { return (shown = findWindow(QStringLiteral("settingsWindow"))); }));
        if (shown) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(shown));
        }
        // The storage rows glide to the card's split: read once their Behaviors have arrived.
        settle();
        return shown;
    }
    SettingsViewModel *settingsOf(QQuickWindow *shown) const
    {
        return shown->property("settings").value<SettingsViewModel *>();
    }
    QString percent(QQuickWindow *shown, const QString &row) const
    {
        return item(QStringLiteral("percent:") + row + QStringLiteral(" (%)"), shown)
            ->property("text")
            .toString();
    }
    QStringList percents(QQuickWindow *shown) const
    {
        return {percent(shown, QStringLiteral("주행 녹화")),
                percent(shown, QStringLiteral("이벤트 녹화")),
                percent(shown, QStringLiteral("주차 녹화")),
                percent(shown, QStringLiteral("수동 녹화"))};
    }
    // Selects everything in a text field and types `text` over it.
    void typeInto(QQuickItem *field, const QString &text)
    {
        click(field);
        QTest::keyClick(field->window(), Qt::Key_A, Qt::ControlModifier);
        for (const QChar c : text)
            QTest::keyClick(field->window(), c.toLatin1());
        settle();
    }
};

TEST_F(SettingsWindow, OpensPausedAndSavesWhatItsControlsShow)
{
    // The card's volume holds what the card holds: nothing waits for the dashcam.
    QQuickWindow *plain = openSettings();
    ASSERT_TRUE(plain);
    EXPECT_FALSE(findItem(QStringLiteral("savedNotYetTaken"), plain));
    plain->close();
    ASSERT_TRUE(waitUntil([] { return !findWindow(QStringLiteral("settingsWindow")); }));

    writeCardSettings("[bbox]\nuse_hybrid=0\nuse_secret=0\nmodel=KV-5\nversion=1.2.7\n",
                      "mem_type=1\nvolume=60\nsecret_mode=1\nwifi_ssid_1=DASHCAM_5G\nmodel=KV-5\n"
                      "version=<b>1.2.7</b>\nsafe_db_ver=20240901\n");
    open(sample::twoChannels);
    ASSERT_TRUE(player().isPlaying());

    QQuickWindow *shown = openSettings();
    ASSERT_TRUE(shown);
    EXPECT_FALSE(player().isPlaying()) << "the settings button pauses first";
    EXPECT_EQ(shown->title(), u"블랙박스 설정");
    EXPECT_EQ(shown->size(), QSize(1100, 780)) << "as large as it was made, where it fits";
    EXPECT_EQ(shown->transientParent(), window);

    // What the card says: no hybrid cable, no secret mode, driving first 2.
    EXPECT_EQ(item(QStringLiteral("picker:전압설정(V)"), shown)->property("count").toInt(), 5);
    EXPECT_FALSE(findItem(QStringLiteral("toggle:secretMode"), shown));
    EXPECT_EQ(percents(shown), QStringList({"70%", "20%", "5%", "5%"}));
    EXPECT_EQ(
        item(QStringLiteral("picker:세계표준시(시간)"), shown)->property("currentText").toString(),
        u"GMT +00:00");
    EXPECT_EQ(item(QStringLiteral("value:모델명"), shown)->property("text").toString(), u"KV-5");
    // Text from the card is shown as it is, not as markup.
    QQuickItem *firmware = item(QStringLiteral("value:펌웨어"), shown);
    EXPECT_EQ(firmware->property("text").toString(), u"<b>1.2.7</b>");
    const QFontMetricsF metrics(firmware->property("font").value<QFont>());
    EXPECT_GT(firmware->property("contentWidth").toReal(),
              metrics.horizontalAdvance(QStringLiteral("<b>1.2.")));

    // Settings on the volume that differ from the card's own: the dashcam has not taken them.
    EXPECT_TRUE(item(QStringLiteral("savedNotYetTaken"), shown)->isVisible());
    shown->grabWindow().save(QStringLiteral(SHOTS_DIR "/SettingsWindow.AsOpened.png"));
    click(item(QStringLiteral("option:주차우선"), shown));
    settle(); // the rows glide to the new split
    EXPECT_EQ(percents(shown), QStringList({"30%", "45%", "20%", "5%"}));

    QQuickItem *volume = item(QStringLiteral("slider:시스템 볼륨"), shown);
    click(volume, {volume->width() - 3, volume->height() / 2});
    EXPECT_EQ(settingsOf(shown)->volumeIndex, 3);
    typeInto(item(QStringLiteral("field:ssid"), shown), QStringLiteral("abc"));
    EXPECT_EQ(settingsOf(shown)->wifiSSID, u"abc");

    click(item(QStringLiteral("saveSettings"), shown));
    ASSERT_TRUE(waitUntil([] { return !findWindow(QStringLiteral("settingsWindow")); }));
    settle();
    EXPECT_EQ(item(QStringLiteral("overlay/overlayMessage"))->property("text").toString(),
              u"설정을 SD 카드에 저장했습니다. 블랙박스는 다음에 켜질 때 이 설정을 적용합니다.");
    EXPECT_FALSE(findItem(QStringLiteral("overlay/overlaySecondButton")))
        << "the card's volume is no folder of the user's";
    click(QStringLiteral("overlay/overlayButton"));
    const Settings saved = written();
    EXPECT_EQ(saved.value("mem_type"), u"3");
    EXPECT_EQ(saved.value("volume"), u"100");
    EXPECT_EQ(saved.value("wifi_ssid_1"), u"abc") << "too short for the dashcam, saved as typed";
    EXPECT_EQ(saved.value("secret_mode"), u"1") << "hidden, but written as read";
    EXPECT_EQ(saved.value("pc_edit"), u"1");

    // The next opening is a new window reading the card again.
    const QPointer<SettingsViewModel> first = settingsOf(shown);
    QQuickWindow *again = openSettings();
    ASSERT_TRUE(again);
    EXPECT_NE(settingsOf(again), first.data());
    EXPECT_EQ(settingsOf(again)->storagePriority, 3);
    EXPECT_EQ(percents(again), QStringList({"30%", "45%", "20%", "5%"}));
}

TEST_F(SettingsWindow, AFailedSaveKeepsTheWindowAndTheEdits)
{
    writeCardSettings("[bbox]\nvolume=88\nmem_type=0\n", "volume=0\nmem_type=2\ngmt=15\n");
    QQuickWindow *shown = openSettings();
    ASSERT_TRUE(shown);
    // A time zone beyond the list: none shown, and the list opened and closed on no item keeps
    // it so.
    QQuickItem *zone = item(QStringLiteral("picker:세계표준시(시간)"), shown);
    EXPECT_EQ(zone->property("currentIndex").toInt(), -1);
    QTest::mouseMove(shown, QPoint(2, 2));
    zone->forceActiveFocus();
    QTest::keyClick(shown, Qt::Key_Space);
    settle();
    ASSERT_TRUE(zone->property("popup").value<QObject *>()->property("visible").toBool());
    QTest::keyClick(shown, Qt::Key_Return);
    settle();
    EXPECT_EQ(settingsOf(shown)->gmtIndex, -1);
    EXPECT_EQ(item(QStringLiteral("picker:전압설정(V)"), shown)->property("count").toInt(), 9);
    EXPECT_TRUE(findItem(QStringLiteral("toggle:secretMode"), shown));
    EXPECT_EQ(percents(shown), QStringList({"30%", "20%", "45%", "5%"}));

    // A "=" would make a line the dashcam does not read back: nothing is written.
    typeInto(item(QStringLiteral("field:ssid"), shown), QStringLiteral("home=cafe"));
    click(item(QStringLiteral("saveSettings"), shown));
    ASSERT_TRUE(findItem(QStringLiteral("settingsAlert"), shown));
    EXPECT_TRUE(findWindow(QStringLiteral("settingsWindow")));
    EXPECT_EQ(item(QStringLiteral("overlayMessage"), shown)->property("text").toString(),
              u"Wi-Fi 이름에는 줄바꿈이나 '='를 쓸 수 없습니다.");
    EXPECT_EQ(written().value("volume"), u"0");
    click(item(QStringLiteral("overlayButton"), shown));
    EXPECT_FALSE(findItem(QStringLiteral("settingsAlert"), shown));
    EXPECT_EQ(item(QStringLiteral("field:ssid"), shown)->property("text").toString(), u"home=cafe");

    // A card volume that takes no file: the same, with its own reason.
    typeInto(item(QStringLiteral("field:ssid"), shown), QStringLiteral("home"));
    const QString volume = cardVolume();
    ASSERT_TRUE(QDir().rename(volume, volume + QStringLiteral(".away")));
    click(item(QStringLiteral("saveSettings"), shown));
    EXPECT_EQ(item(QStringLiteral("overlayMessage"), shown)->property("text").toString(),
              u"SD 카드에 설정을 저장하지 못했습니다.");
    ASSERT_TRUE(QDir().rename(volume + QStringLiteral(".away"), volume));
    click(item(QStringLiteral("overlayButton"), shown));

    // Reset: the dashcam's own values, nothing written.
    click(item(QStringLiteral("resetSettings"), shown));
    EXPECT_EQ(settingsOf(shown)->volumeIndex, 2);
    EXPECT_EQ(settingsOf(shown)->wifiSSID, u"");
    settle(); // the rows glide back to the dashcam's own split
    EXPECT_EQ(percents(shown), QStringList({"50%", "25%", "20%", "5%"}));
    EXPECT_EQ(written().value("volume"), u"0");

    // Closed by its close button: the edits go, the next window shows the card's values.
    click(item(QStringLiteral("option:주차우선"), shown));
    EXPECT_EQ(settingsOf(shown)->storagePriority, 3);
    shown->close();
    ASSERT_TRUE(waitUntil([] { return !findWindow(QStringLiteral("settingsWindow")); }));
    shown = openSettings();
    ASSERT_TRUE(shown);
    EXPECT_EQ(settingsOf(shown)->storagePriority, 2);
    EXPECT_EQ(percents(shown), QStringList({"30%", "20%", "45%", "5%"}));
    shown->close();
    ASSERT_TRUE(waitUntil([] { return !findWindow(QStringLiteral("settingsWindow")); }));

    // Saving without a change still writes the file for the dashcam to take, values beyond the
    // window's lists as they came.
    ASSERT_TRUE(QFile::remove(cfgPath()));
    writeFile(cfgPath(), "volume=60\nmem_type=7\ngmt=15\n");
    shown = openSettings();
    ASSERT_TRUE(shown);
    EXPECT_EQ(percents(shown), QStringList({"50%", "25%", "20%", "5%"}))
        << "no split for 7: the rows stay at the dashcam's own";
    click(item(QStringLiteral("saveSettings"), shown));
    ASSERT_TRUE(waitUntil([] { return !findWindow(QStringLiteral("settingsWindow")); }));
    EXPECT_EQ(written().value("pc_edit"), u"1");
    EXPECT_EQ(written().value("volume"), u"60");
    EXPECT_EQ(written().value("mem_type"), u"7");
    EXPECT_EQ(written().value("gmt"), u"15");
}

} // namespace
} // namespace korvane::test
