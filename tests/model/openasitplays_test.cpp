// A click plays the recording as soon as the player decodes it; the files an open keeps are
// made while it plays, and are there, named as ever, when the open ends.
#include "card/workingfolder.h"
#include "modeltestsupport.h"
#include "samplerecordings.h"
#include "services/workingcopy.h"
#include "testfiles.h"

#include <QCoroTask>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

using namespace korvane;
using korvane::test::CardModel;

namespace {

QString openFile(const char *name)
{
    return WorkingFolder::tempRoot() + QStringLiteral("work/open/") + QLatin1String(name);
}

// What the player had at the moment it started to play.
struct AtTheStart
{
    bool playableFileMade = false;
    bool sound = false;
    QString shownFrom;
    QString openRecording; // the name snapshots and clips take
    bool openUnderWay = false;
};

class StartWatch
{
public:
    explicit StartWatch(AppViewModel &model) : m_model(model)
    {
        MultiTrackPlayer *player = model.playerManager();
        m_connection =
            QObject::connect(player, &MultiTrackPlayer::isPlayingChanged, [this, player] {
                if (!player->isPlaying() || m_start)
                    return;
                const std::optional<FileListItem> &open = m_model.nowPlaying()->openRecording();
                m_start = AtTheStart{
                    QFileInfo::exists(openFile("playing.mp4")), player->audioPlayer() != nullptr,
                    player->videoPlayers().isEmpty() ? QString()
                                                     : player->videoPlayers().front()->filePath(),
                    open ? open->name : QString(), m_model.library()->isSelecting()};
            });
    }
    ~StartWatch() { QObject::disconnect(m_connection); }
    const std::optional<AtTheStart> &start() const { return m_start; }

private:
    AppViewModel &m_model;
    QMetaObject::Connection m_connection;
    std::optional<AtTheStart> m_start;
};

QStringList streams(const QString &path)
{
    return korvane::test::ffprobeStreams(path, QStringLiteral("codec_name,codec_type"));
}

const QStringList twoCamerasWithAac{"h264,video", "h264,video", "aac,audio"};

} // namespace

TEST(OpenAsItPlays, AFinishedRecordingPlaysItsCopyAndItsAacFileIsThereWhenTheOpenEnds)
{
    CardModel card(korvane::test::sampleCardImage({"--seconds", "2"}));
    AppViewModel &model = card.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    WorkingFolder::deleteDirectory(openFile("playing.mp4"));
    const StartWatch watch(model);
    const qsizetype row = card.row(QStringLiteral("N_20241005_143012.mp4"));
    QCoro::waitFor(model.opener()->selectAt(row));
    card.waitUntilOpened();

    ASSERT_TRUE(watch.start());
    EXPECT_FALSE(watch.start()->playableFileMade) << "it plays before its files are made";
    EXPECT_TRUE(watch.start()->sound) << "the recording's own MP3 sound plays";
    const QString local = localCopy(model.library()->filtered()[row]);
    EXPECT_EQ(watch.start()->shownFrom, local);
    EXPECT_EQ(watch.start()->openRecording, "N_20241005_143012.mp4");
    EXPECT_TRUE(watch.start()->openUnderWay);
    EXPECT_TRUE(model.playerManager()->isPlaying());
    EXPECT_EQ(model.notifications()->alertMessage(), std::nullopt);

    EXPECT_EQ(streams(openFile("playing.mp4")), twoCamerasWithAac);
    EXPECT_FALSE(QFileInfo::exists(openFile("temp.mp4")));
    EXPECT_EQ(QFileInfo(local).size(), model.library()->filtered()[row].size) << "the copy stays";
    EXPECT_EQ(korvane::test::pictureChecksums(openFile("playing.mp4"), 1),
              korvane::test::pictureChecksums(local, 1))
        << "the playable file holds the pictures that play";
}

// The rebuild plays with the sound salvex left beside it; merged and made AAC once, that sound is
// in the playable file when the open ends, and the pictures are found there from then on.
TEST(OpenAsItPlays, AnUnfinishedRecordingsSoundPlaysFromItsFirstPictureInStepWithThem)
{
    QTemporaryDir folder;
    const QString heard = folder.filePath(QStringLiteral("heard.raw"));
    CardModel card(korvane::test::sampleCardImage({"--seconds", "4"}),
                   "audioconvert ! audio/x-raw,format=S16LE,channels=1,rate=8000"
                   " ! filesink sync=true buffer-mode=2 location=" +
                       heard.toUtf8());
    AppViewModel &model = card.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    WorkingFolder::deleteDirectory(openFile("playing.mp4"));
    const StartWatch watch(model);
    // Sound heard against the pictures' clock, once a second has played.
    std::optional<std::pair<double, double>> inStep;
    MultiTrackPlayer *player = model.playerManager();
    const QMetaObject::Connection ticks =
        QObject::connect(player, &MultiTrackPlayer::currentTimeChanged, [&] {
            if (!inStep && player->isPlaying() && player->currentTime() >= 1.0)
                inStep = {player->currentTime(),
                          static_cast<double>(QFileInfo(heard).size()) / 2 / 8000};
        });
    QCoro::waitFor(model.opener()->selectAt(card.row(QStringLiteral("N_20241005_144012.mov"))));
    card.waitUntilOpened();
    EXPECT_TRUE(QTest::qWaitFor([&] { return inStep.has_value(); }, 20000));
    QObject::disconnect(ticks);

    ASSERT_TRUE(watch.start());
    EXPECT_FALSE(watch.start()->playableFileMade) << "it plays before its sound is merged";
    EXPECT_TRUE(watch.start()->sound) << "the sound plays from the first picture";
    ASSERT_TRUE(inStep);
    EXPECT_NEAR(inStep->second, inStep->first, 0.25) << "seconds of sound against the clock";

    EXPECT_EQ(streams(openFile("playing.mp4")), twoCamerasWithAac);
    for (const char *gone : {"temp.mp4", "temp.mp3", "temp.mkv", "temp2.mp4", "temp3.mp4"})
        EXPECT_FALSE(QFileInfo::exists(openFile(gone))) << gone;
    EXPECT_GT(korvane::test::decodedSeconds(openFile("playing.mp4")), 3.5);
    ASSERT_FALSE(model.nowPlaying()->videoPlayers().isEmpty());
    EXPECT_EQ(model.nowPlaying()->videoPlayers().front()->filePath(), openFile("playing.mp4"))
        << "snapshots read the pictures where they are now";
}

// Opus in MP4: the player has no decoder for it, so the sound is made AAC before it plays.
TEST(OpenAsItPlays, SoundThePlayerCannotDecodeIsMadeAacFirstAndPlays)
{
    CardModel card(korvane::test::sampleCardImage({"--seconds", "2"}));
    AppViewModel &model = card.model();
    model.library()->setIsAutoLoad(false);
    QTemporaryDir folder;
    const QString opus = folder.filePath(QStringLiteral("N_20241006_090000.mp4"));
    const korvane::test::ProgramRun made = korvane::test::run(
        QStringLiteral("ffmpeg"),
        {"-v", "error", "-i", korvane::test::sampleRecording({"--channels", "2", "--seconds", "2"}),
         "-map", "0", "-c:v", "copy", "-c:a", "libopus", "-b:a", "24k", opus});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    ASSERT_EQ(streams(opus).last(), "opus,audio");
    WorkingFolder::deleteDirectory(openFile("playing.mp4"));

    QCoro::waitFor(model.library()->openLocalFiles({QUrl::fromLocalFile(opus)}));
    const StartWatch watch(model);
    QCoro::waitFor(model.opener()->selectAt(0));
    card.waitUntilOpened();

    ASSERT_TRUE(watch.start());
    EXPECT_TRUE(watch.start()->playableFileMade);
    EXPECT_TRUE(watch.start()->sound) << "the AAC sound plays";
    EXPECT_EQ(watch.start()->shownFrom, openFile("playing.mp4"));
    EXPECT_EQ(streams(openFile("playing.mp4")), twoCamerasWithAac);
    EXPECT_EQ(model.notifications()->alertMessage(), std::nullopt);
}

// The player reaching the end while the open still makes the files: the next recording in time
// opens once it is done, as it does at any other end.
TEST(OpenAsItPlays, AnEndWhileTheFilesAreMadeOpensTheNextRecordingAfterwards)
{
    CardModel card(korvane::test::sampleCardImage({"--seconds", "2"}));
    AppViewModel &model = card.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    MultiTrackPlayer *player = model.playerManager();
    bool endedDuringOpen = false;
    const QMetaObject::Connection ending =
        QObject::connect(player, &MultiTrackPlayer::isPlayingChanged, [&] {
            if (player->isPlaying() && model.library()->isSelecting() && !endedDuringOpen) {
                endedDuringOpen = true;
                emit player->ended();
            }
        });
    const qsizetype first = card.row(QStringLiteral("N_20241005_143012.mp4"));
    ASSERT_EQ(first, 1);
    QCoro::waitFor(model.opener()->selectAt(first));
    QObject::disconnect(ending);
    ASSERT_TRUE(endedDuringOpen);
    // At once: not when the recording, playing on, would reach its end by itself.
    EXPECT_EQ(model.library()->selectedIndex(), 0);
    EXPECT_TRUE(model.library()->isSelecting());
    card.waitUntilOpened();
    EXPECT_EQ(model.nowPlaying()->openRecording()->name, "N_20241005_144012.mov");
    EXPECT_TRUE(player->isPlaying());
}
