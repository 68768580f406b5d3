// Downloading ticked recordings of a real card image: whole, or one channel with its sound;
// cancelled between files; failures named, nothing half-made left behind.
#include "model/savefolders.h"
#include "modeltestsupport.h"
#include "qtprinters.h"
#include "samplerecordings.h"
#include "services/workingcopy.h"
#include "testfiles.h"

#include <QCoroTask>
#include <QDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace korvane;
using korvane::test::CardModel;

namespace {
QStringList saved(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

void tick(AppViewModel &model, std::initializer_list<const char *> names)
{
    for (qsizetype i = 0; i < model.library()->filtered().size(); ++i) {
        for (const char *name : names) {
            if (model.library()->filtered()[i].name == QLatin1String(name))
                model.library()->setChecked(static_cast<int>(i), true);
        }
    }
}
} // namespace

TEST(Download, WholeRecordingsAndOneChannelIntoAnyFolder)
{
    CardModel card(korvane::test::sampleCardImage({"--seconds", "1"}));
    AppViewModel &model = card.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    tick(model, {"N_20241005_143012.mp4", "N_20241005_144012.mov"});
    QTemporaryDir root;
    // A folder whose name holds ".mov" and ".mp4": only file names change.
    const QString folder = root.filePath(QStringLiteral("cam.mov.backup/videos.mp4"));
    QDir().mkpath(folder);

    QCoro::waitFor(model.downloads()->downloadChecked(folder));
    EXPECT_EQ(model.notifications()->downloadMessage(), std::nullopt);
    EXPECT_EQ(model.notifications()->alertMessage(), std::nullopt);
    EXPECT_EQ(model.notifications()->savedMessage(),
              QStringLiteral("3개 파일을 %1에 저장했습니다.").arg(SaveFolders::shownPath(folder)));
    EXPECT_EQ(model.notifications()->savedFolder(), folder);
    EXPECT_EQ(saved(folder), QStringList({"N_20241005_143012.mp4", "N_20241005_144012.mov",
                                          "N_20241005_144012.mp4"}));
    EXPECT_EQ(korvane::test::readFile(folder + "/N_20241005_144012.mov"),
              korvane::test::readFile(localCopy(model.library()->filtered()[0])))
        << "an unfinished recording is kept as the card holds it";
    EXPECT_EQ(korvane::test::ffprobeStreams(folder + "/N_20241005_144012.mp4", "codec_type"),
              QStringList({"video", "video", "audio"}))
        << "and beside it rebuilt into one that plays";

    model.downloads()->nextChannelChoice();
    EXPECT_EQ(model.downloads()->channelChoiceLabel(), "CH1");
    QCoro::waitFor(model.downloads()->downloadChecked(folder));
    EXPECT_TRUE(saved(folder).contains("N_20241005_144012_CH1.mp4"));
    EXPECT_EQ(korvane::test::ffprobeStreams(folder + "/N_20241005_143012_CH1.mp4", "codec_type"),
              QStringList({"video", "audio"}));

    model.downloads()->nextChannelChoice();
    model.downloads()->nextChannelChoice();
    EXPECT_EQ(model.downloads()->channelChoice(), 0) << "two active channels: 0, 1, 2, 0";
}

TEST(Download, AMissingChannelOrAFailedReadIsNamedAndTheLoopGoesOn)
{
    CardModel card(korvane::test::sampleCardImage({"--seconds", "1", "--channels", "3"}));
    AppViewModel &model = card.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    ASSERT_EQ(model.downloads()->activeChannelCount(), 3);
    for (int i = 0; i < 3; ++i)
        model.downloads()->nextChannelChoice();
    QTemporaryDir folder;

    // A two-camera recording has no third channel.
    const QString twoCameras = korvane::test::sampleRecording(
        {"--channels", "2", "--seconds", "1", "--time", "20241006_100000"});
    QCoro::waitFor(model.library()->openLocalFiles({QUrl::fromLocalFile(twoCameras)}));
    model.library()->checkAll(true);
    QCoro::waitFor(model.downloads()->downloadChecked(folder.path()));
    EXPECT_EQ(model.notifications()->alertMessage(), "채널3 영상이 없는 녹화파일입니다.");
    EXPECT_TRUE(saved(folder.path()).isEmpty());
    EXPECT_EQ(model.notifications()->downloadMessage(), std::nullopt);
    EXPECT_EQ(model.notifications()->savedMessage(), std::nullopt) << "nothing was saved";

    // The card is gone before the recordings were copied: nothing is saved, and the user is
    // told which.
    model.notifications()->closeAlert();
    model.downloads()->nextChannelChoice();
    model.library()->selectTab(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.library()->filtered().size() == 2; }, 10000));
    model.library()->checkAll(true);
    model.procManager().setRawDevicePath(folder.filePath(QStringLiteral("gone.img")));
    QCoro::waitFor(model.downloads()->downloadChecked(folder.path()));
    EXPECT_EQ(model.notifications()->alertMessage(),
              "N_20241005_144012.mov, N_20241005_143012.mp4 파일을 저장하지 못했습니다.");
    EXPECT_TRUE(saved(folder.path()).isEmpty());
    EXPECT_EQ(model.notifications()->downloadMessage(), std::nullopt);
    EXPECT_EQ(model.notifications()->savedMessage(), std::nullopt)
        << "finished, naming only what was not saved";
}

TEST(Download, CancelStopsAfterTheFileUnderWay)
{
    CardModel card(korvane::test::sampleCardImage({"--seconds", "1"}));
    AppViewModel &model = card.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    model.library()->selectTab(5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.library()->filtered().size() == 6; }, 10000));
    model.library()->checkAll(true);
    QTemporaryDir folder;
    QObject::connect(model.notifications(), &Notifications::downloadMessageChanged, &model, [&] {
        if (model.notifications()->downloadMessage() == QString("총 6 중 2 개 영상 다운로드 중..."))
            model.notifications()->closeDownload();
    });
    QCoro::waitFor(model.downloads()->downloadChecked(folder.path()));
    EXPECT_EQ(model.notifications()->downloadMessage(), std::nullopt)
        << "no completion after a cancel";
    // The two newest, both unfinished: each as the card holds it and rebuilt.
    EXPECT_EQ(saved(folder.path()),
              QStringList({"M_20241005_145012.mov", "M_20241005_145012.mp4",
                           "N_20241005_144012.mov", "N_20241005_144012.mp4"}));
    EXPECT_EQ(
        model.notifications()->savedMessage(),
        QStringLiteral("4개 파일을 %1에 저장했습니다.").arg(SaveFolders::shownPath(folder.path())))
        << "what was saved before the cancel is named";
    EXPECT_FALSE(model.downloads()->isDownloading());
}
