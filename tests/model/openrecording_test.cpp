// Opening recordings of a real card image into the player: copied, remuxed or rebuilt, given
// sound, playing, with their metadata; and every way an open can fail.
#include "card/workingfolder.h"
#include "modeltestsupport.h"
#include "qtprinters.h"
#include "samplerecordings.h"
#include "services/workingfiles.h"
#include "testfiles.h"

#include <QCoroTask>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace korvane;
using korvane::test::CardModel;

namespace {
QString cardImage()
{
    return korvane::test::sampleCardImage({"--seconds", "2"});
}
} // namespace

TEST(OpenRecording, AFinishedAndAnUnfinishedRecordingPlayWithTheirMetadata)
{
    CardModel card(cardImage());
    AppViewModel &model = card.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    EXPECT_EQ(model.nowPlaying()->speedText(), "0 km/h");

    for (const char *name : {"N_20241005_143012.mp4", "N_20241005_144012.mov"}) {
        const qsizetype row = card.row(QString::fromLatin1(name));
        QCoro::waitFor(model.opener()->selectAt(row));
        card.waitUntilOpened();
        EXPECT_EQ(model.notifications()->alertMessage(), std::nullopt) << name;
        EXPECT_EQ(model.notifications()->procMessage(), std::nullopt) << name;
        EXPECT_EQ(model.library()->selectedIndex(), row);
        EXPECT_TRUE(model.library()->filtered()[row].isSelected);
        EXPECT_EQ(model.library()->filtered()[row].read, model.library()->filtered()[row].size)
            << "copied when opened";
        EXPECT_EQ(model.nowPlaying()->videoPlayers().size(), 2) << name;
        EXPECT_TRUE(model.playerManager()->isPlaying()) << name;
        EXPECT_NE(model.playerManager()->audioPlayer(), nullptr) << name << ": sound back in";
        ASSERT_GE(model.mediaData()->gpsEvents().size(), 2) << name;
        EXPECT_EQ(model.mediaData()->gpsEvents().last().elapse,
                  std::trunc(model.playerManager()->duration()))
            << name << ": the route spans the video";
        EXPECT_FALSE(model.mediaData()->gSensorEvents().isEmpty()) << name;
        EXPECT_TRUE(model.nowPlaying()->speedText().endsWith(" km/h"));
        EXPECT_FALSE(QFileInfo::exists(WorkingFolder::tempRoot() + "work/open/temp.mp4"));
    }
    // Nothing copied behind the user's back while background copying is off.
    for (const FileListItem &row : model.library()->fileList())
        EXPECT_TRUE(row.type == u"normal" || row.read == 0) << row.name.toStdString();
}

TEST(OpenRecording, TheSidePanelKeepsItsChoiceWhileTheChannelCountStays)
{
    CardModel card(cardImage());
    AppViewModel &model = card.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    QCoro::waitFor(model.opener()->selectAt(card.row("N_20241005_143012.mp4")));
    card.waitUntilOpened();
    model.layout()->setVideoChannel(1);
    QCoro::waitFor(model.opener()->selectAt(card.row("N_20241005_144012.mov")));
    card.waitUntilOpened();
    EXPECT_EQ(model.layout()->videoChannel(), 1) << "two channels again";
    EXPECT_EQ(model.layout()->sideView(), ScreenLayout::SideView::Channel);
    EXPECT_EQ(model.layout()->sideChannel(), 1);
    model.layout()->setVideoChannel(2);
    EXPECT_EQ(model.layout()->sideView(), ScreenLayout::SideView::Nothing)
        << "a third camera the recording lacks";
    EXPECT_EQ(model.layout()->sideChannel(), -1);
    model.layout()->selectSideTab(2);
    EXPECT_EQ(model.layout()->sideView(), ScreenLayout::SideView::Map) << "the picker's last tab";

    const QString single =
        korvane::test::sampleRecording({"--channels", "1", "--seconds", "1", "--no-sound"});
    QCoro::waitFor(model.library()->openLocalFiles({QUrl::fromLocalFile(single)}));
    QCoro::waitFor(model.opener()->selectAt(0));
    card.waitUntilOpened();
    EXPECT_EQ(model.nowPlaying()->videoPlayers().size(), 1);
    EXPECT_EQ(model.layout()->videoChannel(), -1) << "another channel count clears the choice";
    EXPECT_EQ(model.layout()->sideView(), ScreenLayout::SideView::Map)
        << "with no choice the route is shown, not an empty place";
    EXPECT_EQ(model.layout()->sideTabIndex(), 1);
    EXPECT_EQ(model.playerManager()->audioPlayer(), nullptr);
}

TEST(OpenRecording, ADamagedFileAlertsAndLeavesNothingBusy)
{
    CardModel card(cardImage());
    AppViewModel &model = card.model();
    QTemporaryDir folder;
    const QString broken = folder.filePath(QStringLiteral("N_20241005_150000.mp4"));
    korvane::test::writeFile(broken, QByteArray(4096, 'x'));
    QCoro::waitFor(model.library()->openLocalFiles({QUrl::fromLocalFile(broken)}));
    QCoro::waitFor(model.opener()->selectAt(0));
    EXPECT_EQ(model.notifications()->alertMessage(),
              "영상 파일이 손상되어 정상적으로 재생할 수 없습니다.");
    EXPECT_FALSE(model.library()->isSelecting());
    EXPECT_EQ(model.notifications()->procMessage(), std::nullopt);
    EXPECT_TRUE(model.nowPlaying()->videoPlayers().isEmpty());
}

TEST(OpenRecording, AClickWhileBusyIsDropped)
{
    CardModel card(cardImage());
    AppViewModel &model = card.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    const qsizetype clicked = card.row("N_20241005_143012.mp4");
    model.opener()->open(static_cast<int>(clicked));
    EXPECT_TRUE(model.library()->isSelecting());
    QCoro::waitFor(model.opener()->selectAt(card.row("N_20241005_144012.mov")));
    card.waitUntilOpened();
    EXPECT_EQ(model.library()->selectedIndex(), clicked);
    EXPECT_TRUE(model.library()->filtered()[clicked].isSelected);
    EXPECT_FALSE(model.library()->filtered()[card.row("N_20241005_144012.mov")].isSelected);
}

// The rows shown change while a recording opens: the one clicked opens, and the selection
// follows it into the new rows.
TEST(OpenRecording, TheClickedRecordingOpensWhateverTheListDoesMeanwhile)
{
    CardModel card(cardImage());
    AppViewModel &model = card.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    model.opener()->open(static_cast<int>(card.row("N_20241005_143012.mp4")));
    model.library()->selectTab(5);
    card.waitUntilOpened();
    ASSERT_EQ(model.library()->filtered().size(), 6);
    const qsizetype now = card.row("N_20241005_143012.mp4");
    EXPECT_EQ(model.library()->selectedIndex(), now);
    EXPECT_TRUE(model.library()->filtered()[now].isSelected);
    EXPECT_EQ(model.library()->filtered()[now].read, model.library()->filtered()[now].size)
        << "copied: the one clicked";
    EXPECT_EQ(model.library()->filtered()[card.row("N_20241005_144012.mov")].read, 0);

    // A card load while a recording opens waits for it, and the open plays. The recordings last
    // two seconds: the one open is paused so that its end opens nothing, and the new one may have
    // ended again by the time its metadata is read.
    model.playerManager()->pause();
    bool played = false;
    QObject::connect(model.playerManager(), &MultiTrackPlayer::isPlayingChanged, &model,
                     [&] { played = played || model.playerManager()->isPlaying(); });
    model.opener()->open(static_cast<int>(card.row("P_20241004_220000.mp4")));
    QCoro::waitFor(model.library()->reloadList());
    card.waitUntilOpened();
    EXPECT_EQ(model.notifications()->alertMessage(), std::nullopt);
    EXPECT_TRUE(played);
    EXPECT_EQ(model.library()->selectedIndex(), std::nullopt)
        << "the new list does not hold the row";
}

TEST(OpenRecording, OpeningFetchesTheNextRecordingAndResumesCopying)
{
    CardModel card(cardImage());
    AppViewModel &model = card.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    model.library()->setIsAutoLoad(true);
    const qsizetype opened = card.row("N_20241005_143012.mp4");
    ASSERT_GT(opened, 0);
    EXPECT_EQ(model.library()->filtered()[opened - 1].read, 0);
    QCoro::waitFor(model.opener()->selectAt(opened));
    // Paused, the recording cannot play to its end meanwhile on a busy machine: the open of the
    // one that follows would call the copying off.
    model.playerManager()->pause();
    EXPECT_EQ(model.library()->filtered()[opened - 1].read,
              model.library()->filtered()[opened - 1].size)
        << "the recording made next is copied before the open ends";
    EXPECT_TRUE(model.library()->isLoading()) << "background copying starts again";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !model.library()->isLoading(); }, 60000));
    for (const FileListItem &row : model.library()->fileList())
        EXPECT_EQ(row.read, row.size) << row.name.toStdString();
}

TEST(PlayerScreen, MagnifierWorksOnOneChannelAndExportsReachTheCard)
{
    CardModel card(cardImage());
    AppViewModel &model = card.model();
    EXPECT_FALSE(model.layout()->canMagnify());
    model.layout()->toggleMagnifier();
    EXPECT_FALSE(model.layout()->showMagnifier()) << "every channel shown: nothing to magnify";
    EXPECT_EQ(model.notifications()->alertMessage(), std::nullopt) << "the button says why";
    model.layout()->showChannel(1);
    EXPECT_TRUE(model.layout()->canMagnify());
    model.layout()->toggleMagnifier();
    EXPECT_TRUE(model.layout()->showMagnifier());
    model.layout()->showMap();
    EXPECT_FALSE(model.layout()->showMagnifier()) << "off with the channel it magnified";
    model.layout()->showChannel(1);
    model.layout()->toggleMagnifier();

    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    QCoro::waitFor(model.opener()->selectAt(card.row("N_20241005_143012.mp4")));
    card.waitUntilOpened();
    model.nowPlaying()->exportLocation();
    EXPECT_EQ(model.notifications()->alertMessage(),
              "GPS 데이터(location.txt)를 SD 카드에 저장했습니다.");
    EXPECT_EQ(korvane::test::readFile(card.volume() + "/location.txt"),
              model.mediaData()->locationText().toUtf8());
    model.procManager().setCardVolume(card.volume() + "/gone");
    model.nowPlaying()->exportGSensor();
    EXPECT_EQ(model.notifications()->alertMessage(), "SD 카드에 저장하지 못했습니다.");
}

// With the list newest first, the recording made next is the row above: it plays when one ends.
TEST(OpenRecording, TheEndOfPlaybackOpensTheNextRecording)
{
    CardModel card(cardImage());
    AppViewModel &model = card.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    const qsizetype first = card.row("N_20241005_143012.mp4");
    ASSERT_EQ(first, 1);
    QCoro::waitFor(model.opener()->selectAt(first));
    card.waitUntilOpened();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return model.library()->selectedIndex() == first - 1; }, 20000));
    card.waitUntilOpened();
    EXPECT_TRUE(model.library()->filtered()[0].isSelected);
    EXPECT_FALSE(model.library()->filtered()[1].isSelected);
}

// Names of working files come from nothing of the recording's path.
TEST(WorkingFiles, NamesChangeOnlyAtTheEndOfTheFileName)
{
    EXPECT_EQ(withExtension("/c/cam.mov.backup/N_1.mov", ".mp4"), "/c/cam.mov.backup/N_1.mp4");
    EXPECT_EQ(withExtension("/c/videos.mp4/N_1.mov", "_CH2.mp4"), "/c/videos.mp4/N_1_CH2.mp4");
    EXPECT_EQ(withExtension("/c/a.b/noextension", ".mp3"), "/c/a.b/noextension.mp3");
    EXPECT_EQ(withNameSuffix("/c/x.mp4.d/temp.mp4", "2"), "/c/x.mp4.d/temp2.mp4");
}

// A recording named like a finished one but left in the unfinished shape: ffmpeg finds no index,
// and the rebuild makes it play.
TEST(OpenRecording, AnMp4WithoutIndexIsRebuilt)
{
    CardModel card(cardImage());
    AppViewModel &model = card.model();
    model.library()->setIsAutoLoad(false);
    QTemporaryDir folder;
    const QString renamed = folder.filePath(QStringLiteral("N_20241006_090000.mp4"));
    ASSERT_TRUE(QFile::copy(
        korvane::test::sampleRecording({"--channels", "2", "--seconds", "1", "--unfinished"}),
        renamed));
    QCoro::waitFor(model.library()->openLocalFiles({QUrl::fromLocalFile(renamed)}));
    QCoro::waitFor(model.opener()->selectAt(0));
    card.waitUntilOpened();
    EXPECT_EQ(model.notifications()->alertMessage(), std::nullopt);
    EXPECT_EQ(model.nowPlaying()->videoPlayers().size(), 2);
    EXPECT_NE(model.playerManager()->audioPlayer(), nullptr) << "its sound merged back";
}
