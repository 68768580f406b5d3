// Downloading ticked recordings of a real card image: whole, or one channel with its sound;
// cancelled between files; failures named, nothing half-made left behind.
#include "modeltestsupport.h"
#include "qtprinters.h"
#include "samplerecordings.h"
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
    for (qsizetype i = 0; i < model.filtered().size(); ++i) {
        for (const char *name : names) {
            if (model.filtered()[i].name == QLatin1String(name))
                model.setChecked(static_cast<int>(i), true);
        }
    }
}
} // namespace

TEST(Download, WholeRecordingsAndOneChannelIntoAnyFolder)
{
    CardModel card(korvane::test::sampleCardImage({"--seconds", "1"}));
    AppViewModel &model = card.model();
    model.setIsAutoLoad(false);
    QCoro::waitFor(model.reloadList());
    tick(model, {"N_20241005_143012.mp4", "N_20241005_144012.mov"});
    QTemporaryDir root;
    // A folder whose name holds ".mov" and ".mp4": only file names change.
    const QString folder = root.filePath(QStringLiteral("cam.mov.backup/videos.mp4"));
    QDir().mkpath(folder);

    QCoro::waitFor(model.downloadChecked(folder));
    EXPECT_EQ(model.downloadMessage(), QString(""));
    EXPECT_EQ(model.alertMessage(), std::nullopt);
    EXPECT_EQ(saved(folder), QStringList({"N_20241005_143012.mp4", "N_20241005_144012.mov",
                                          "N_20241005_144012.mp4"}));
    EXPECT_EQ(korvane::test::readFile(folder + "/N_20241005_144012.mov"),
              korvane::test::readFile(AppViewModel::localCopy(model.filtered()[0])))
        << "an unfinished recording is kept as the card holds it";
    EXPECT_EQ(korvane::test::ffprobeStreams(folder + "/N_20241005_144012.mp4", "codec_type"),
              QStringList({"video", "video", "audio"}))
        << "and beside it rebuilt into one that plays";

    model.nextChannelChoice();
    EXPECT_EQ(model.channelChoiceLabel(), "CH1");
    QCoro::waitFor(model.downloadChecked(folder));
    EXPECT_TRUE(saved(folder).contains("N_20241005_144012_CH1.mp4"));
    EXPECT_EQ(korvane::test::ffprobeStreams(folder + "/N_20241005_143012_CH1.mp4", "codec_type"),
              QStringList({"video", "audio"}));

    model.nextChannelChoice();
    model.nextChannelChoice();
    EXPECT_EQ(model.channelChoice(), 0) << "two active channels: 0, 1, 2, 0";
}

TEST(Download, AMissingChannelOrAFailedReadIsNamedAndTheLoopGoesOn)
{
    CardModel card(korvane::test::sampleCardImage({"--seconds", "1", "--channels", "3"}));
    AppViewModel &model = card.model();
    model.setIsAutoLoad(false);
    QCoro::waitFor(model.reloadList());
    ASSERT_EQ(model.activeChannelCount(), 3);
    for (int i = 0; i < 3; ++i)
        model.nextChannelChoice();
    QTemporaryDir folder;

    // A two-camera recording has no third channel.
    const QString twoCameras = korvane::test::sampleRecording(
        {"--channels", "2", "--seconds", "1", "--time", "20241006_100000"});
    QCoro::waitFor(model.openLocalFiles({QUrl::fromLocalFile(twoCameras)}));
    model.checkAll(true);
    QCoro::waitFor(model.downloadChecked(folder.path()));
    EXPECT_EQ(model.alertMessage(), "채널3 영상이 없는 녹화파일입니다.");
    EXPECT_TRUE(saved(folder.path()).isEmpty());
    EXPECT_EQ(model.downloadMessage(), QString(""));

    // The card is gone before the recordings were copied: nothing is saved, and the user is
    // told which.
    model.closeAlert();
    model.nextChannelChoice();
    model.selectTab(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.filtered().size() == 2; }, 10000));
    model.checkAll(true);
    model.procManager().setRawDevicePath(folder.filePath(QStringLiteral("gone.img")));
    QCoro::waitFor(model.downloadChecked(folder.path()));
    EXPECT_EQ(model.alertMessage(),
              "N_20241005_144012.mov, N_20241005_143012.mp4 파일을 저장하지 못했습니다.");
    EXPECT_TRUE(saved(folder.path()).isEmpty());
    EXPECT_EQ(model.downloadMessage(), QString("")) << "finished, naming what was not saved";
}

TEST(Download, CancelStopsAfterTheFileUnderWay)
{
    CardModel card(korvane::test::sampleCardImage({"--seconds", "1"}));
    AppViewModel &model = card.model();
    model.setIsAutoLoad(false);
    QCoro::waitFor(model.reloadList());
    model.selectTab(5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.filtered().size() == 6; }, 10000));
    model.checkAll(true);
    QTemporaryDir folder;
    QObject::connect(&model, &AppViewModel::downloadMessageChanged, &model, [&] {
        if (model.downloadMessage() == QString("총 6 중 2 개 영상 다운로드 중..."))
            model.closeDownload();
    });
    QCoro::waitFor(model.downloadChecked(folder.path()));
    EXPECT_EQ(model.downloadMessage(), std::nullopt) << "no completion after a cancel";
    // The two newest, both unfinished: each as the card holds it and rebuilt.
    EXPECT_EQ(saved(folder.path()),
              QStringList({"M_20241005_145012.mov", "M_20241005_145012.mp4",
                           "N_20241005_144012.mov", "N_20241005_144012.mp4"}));
    EXPECT_FALSE(model.isDownloading());
}
