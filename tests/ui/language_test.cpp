// The window in English: every text the viewer shows comes from its translation, none is left in
// Korean; and which language a start chooses.
#include "windowtestsupport.h"

#include "playbacktestsupport.h"
#include "ui/shell/viewerapplication.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTranslator>

namespace korvane::test {
namespace {

TEST(Language, TheOptionWinsElseEnglishForAnEnglishSystemAndKoreanForAnyOther)
{
    EXPECT_EQ(viewerLanguage({}, QLocale(QLocale::English, QLocale::UnitedKingdom)), u"en");
    EXPECT_EQ(viewerLanguage({}, QLocale(QLocale::Korean, QLocale::SouthKorea)), u"ko");
    EXPECT_EQ(viewerLanguage({}, QLocale(QLocale::French, QLocale::France)), u"ko");
    EXPECT_EQ(viewerLanguage(QStringLiteral("ko"), QLocale(QLocale::English)), u"ko");
    EXPECT_EQ(viewerLanguage(QStringLiteral("en"), QLocale(QLocale::Korean)), u"en");
}

// The texts of the visible items, their tool tips and titles included, that hold Hangul.
void collectHangul(QQuickItem *item, QStringList &found)
{
    static const QRegularExpression hangul(QStringLiteral("[\\x{AC00}-\\x{D7A3}]"));
    if (!item->isVisible())
        return;
    for (const char *property : {"text", "tip", "title", "currentText"}) {
        const QString text = item->property(property).toString();
        if (text.contains(hangul))
            found.append(QStringLiteral("%1 (%2): %3")
                             .arg(item->objectName(), QString::fromLatin1(property), text));
    }
    // A picker's whole list, not only its choice.
    if (item->inherits("QQuickComboBox")) {
        for (const QString &entry : item->property("model").toStringList()) {
            if (entry.contains(hangul))
                found.append(item->objectName() + QStringLiteral(" (list): ") + entry);
        }
    }
    for (QQuickItem *child : item->childItems())
        collectHangul(child, found);
}

QStringList hangulIn(QQuickWindow *window)
{
    QStringList found;
    if (window->title().contains(QRegularExpression(QStringLiteral("[\\x{AC00}-\\x{D7A3}]"))))
        found.append(QStringLiteral("window title: ") + window->title());
    collectHangul(window->contentItem()->parentItem() ? window->contentItem()->parentItem()
                                                      : window->contentItem(),
                  found);
    return found;
}

// The window set up in English as `korvane --lang en` sets it up, and back to Korean after.
class EnglishWindow : public WindowTest
{
protected:
    void SetUp() override
    {
        styleViewer(*qobject_cast<QGuiApplication *>(QCoreApplication::instance()),
                    QStringLiteral("en"));
        WindowTest::SetUp();
    }
    void TearDown() override
    {
        WindowTest::TearDown();
        styleViewer(*qobject_cast<QGuiApplication *>(QCoreApplication::instance()),
                    QStringLiteral("ko"));
    }
};

TEST_F(EnglishWindow, NoTextIsLeftInKorean)
{
    EXPECT_EQ(hangulIn(window), QStringList());
    EXPECT_TRUE(findItem(QStringLiteral("tab:Normal")));

    click(QStringLiteral("tab:All"));
    ASSERT_TRUE(waitUntil([&] { return model().library()->filtered().size() == 6; }));
    open(sample::twoChannels);
    settle();
    EXPECT_EQ(hangulIn(window), QStringList());
    EXPECT_EQ(item(QStringLiteral("openTitle"))->property("text").toString(),
              u"2024/10/05 14:30:12 · Normal");

    // What the model and the tool tips say in words.
    EXPECT_EQ(
        item(QStringLiteral("magnify"))->property("tip").toString(),
        u"The magnifier works on one channel shown large. Choose a channel in the tabs above.");
    model().settingsSaved();
    settle();
    ASSERT_TRUE(findItem(QStringLiteral("overlayMessage")));
    EXPECT_EQ(item(QStringLiteral("overlayMessage"))->property("text").toString(),
              u"The settings were saved to the SD card. The dashcam applies them when it next "
              u"starts.");
    EXPECT_EQ(hangulIn(window), QStringList());
    click(QStringLiteral("overlayButton"));

    click(QStringLiteral("settings"));
    QQuickWindow *settings = nullptr;
    ASSERT_TRUE(
        waitUntil([&] { return (settings = findWindow(QStringLiteral("settingsWindow"))); }));
    settle();
    EXPECT_EQ(settings->title(), u"Dashcam settings");
    EXPECT_EQ(hangulIn(settings), QStringList());
    settings->grabWindow().save(QStringLiteral(SHOTS_DIR "/EnglishWindow.Settings.png"));

    // Why a save failed, in English too.
    auto *vm = settings->property("settings").value<SettingsViewModel *>();
    ASSERT_TRUE(vm);
    vm->wifiSSID = QStringLiteral("home=cafe");
    click(item(QStringLiteral("saveSettings"), settings));
    ASSERT_TRUE(findItem(QStringLiteral("settingsAlert"), settings));
    EXPECT_EQ(hangulIn(settings), QStringList());
    settings->close();
}

} // namespace
} // namespace korvane::test
