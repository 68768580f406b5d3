// Shocks found in the G-sensor log: on a card's event recordings where the dashcam felt the knock,
// nowhere on a drive over an even road or in a recording without a sensor log, and knocks close
// together taken as one.
#include "base/userdefaults.h"
#include "model/shockmarks.h"
#include "modeltestsupport.h"
#include "samplerecordings.h"
#include "testfiles.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QElapsedTimer>
#include <QSettings>

#include <gtest/gtest.h>

using namespace korvane;
using korvane::test::CardModel;

namespace {

GSensorInfo sample(double time, int x, int y, int z)
{
    return GSensorInfo{QStringLiteral("gsensor_info"), QString(), AccelData{x, y, z}, time};
}

TEST(Shocks, MarkTheKnockOfEventRecordingsOnly)
{
    CardModel card(korvane::test::sampleCardImage({"--seconds", "12"}));
    AppViewModel &model = card.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    model.library()->selectTab(static_cast<int>(RecordingLibrary::typeNames.indexOf("all")));
    QElapsedTimer waited;
    waited.start();
    while (model.library()->filtered().size() < 6 && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    for (const char *name : {"E_20241005_143512.mp4", "E_20241003_081500.mp4"}) {
        SCOPED_TRACE(name);
        QCoro::waitFor(model.opener()->selectAt(card.row(QString::fromLatin1(name))));
        card.waitUntilOpened();
        MultiTrackPlayer *player = model.playerManager();
        player->pause();
        // The dashcam felt it halfway through: the mark sits there.
        ASSERT_EQ(model.nowPlaying()->shockMarks().size(), 1);
        const double shock = model.nowPlaying()->shockMarks().first() * player->duration();
        EXPECT_NEAR(shock, player->duration() / 2, 0.2);
        model.nowPlaying()->seekToShock(0);
        EXPECT_NEAR(player->currentTime(), shock - shockLeadIn, 1e-6);
        EXPECT_TRUE(player->isPlaying()) << "a shock plays from before it, paused or not";
        player->pause();
        model.nowPlaying()->seekToShock(1); // no such mark
        EXPECT_NEAR(player->currentTime(), shock - shockLeadIn, 1e-6);
        EXPECT_FALSE(player->isPlaying());
    }

    QCoro::waitFor(model.opener()->selectAt(card.row(QStringLiteral("N_20241005_143012.mp4"))));
    card.waitUntilOpened();
    ASSERT_FALSE(model.mediaData()->gSensorEvents().isEmpty());
    EXPECT_TRUE(model.nowPlaying()->shockMarks().isEmpty()) << "road noise is no shock";

    // A recording with no sensor log at all.
    QTemporaryDir folder;
    const QString plain = folder.filePath("plain.mp4");
    ASSERT_EQ(korvane::test::run("ffmpeg", {"-v", "error", "-f", "lavfi", "-i",
                                            "testsrc2=size=320x240:rate=30:duration=3", "-c:v",
                                            "libx264", "-pix_fmt", "yuv420p", plain})
                  .exitCode,
              0);
    QCoro::waitFor(model.library()->openLocalFiles({QUrl::fromLocalFile(plain)}));
    QCoro::waitFor(model.opener()->selectAt(0));
    card.waitUntilOpened();
    model.playerManager()->pause();
    EXPECT_TRUE(model.mediaData()->gSensorEvents().isEmpty());
    EXPECT_TRUE(model.nowPlaying()->shockMarks().isEmpty());
    const double time = model.playerManager()->currentTime();
    model.nowPlaying()->seekToShock(0);
    EXPECT_EQ(model.playerManager()->currentTime(), time);

    // An event recording without GPS fixes: its sensor log keeps its own clock, and the knock is
    // still marked.
    const QString withoutGps =
        korvane::test::sampleRecording({"--type", "event", "--no-gps", "--seconds", "12"});
    QCoro::waitFor(model.library()->openLocalFiles({QUrl::fromLocalFile(withoutGps)}));
    QCoro::waitFor(model.opener()->selectAt(0));
    card.waitUntilOpened();
    ASSERT_EQ(model.nowPlaying()->shockMarks().size(), 1);
    EXPECT_NEAR(model.nowPlaying()->shockMarks().first() * model.playerManager()->duration(), 6.0,
                0.2);
}

TEST(Shocks, KnocksWithinTwoSecondsAreOneAndTheThresholdIsTheUsers)
{
    // At rest upside down (z = -100) with a little noise: the rest level is the median, not 0.
    QList<GSensorInfo> log;
    for (int k = 0; k < 200; ++k)
        log.append(sample(k * 0.1, k % 3 - 1, 0, -100 + k % 2));
    log.append(sample(20.0, 0, 0, -100)); // unplaced samples are left out
    log.last().elapse.reset();
    log[30].accel = {0, 0, -140};  // 3.0: a knock, 40 from rest...
    log[45].accel = {-90, 0, -90}; // 4.5: ...its rebound, 27 from rest...
    log[60].accel = {0, 0, -160};  // 6.0: ...and a second hit, each within 2 s of the last
    log[170].accel = {0, 0, -120}; // 17.0: a kerb, 20 from rest
    EXPECT_EQ(findShocks(log, 25), QList<double>({3.0}));
    EXPECT_EQ(findShocks(log, 30), QList<double>({3.0, 6.0}));
    EXPECT_EQ(findShocks(log, 50), QList<double>({6.0}));
    EXPECT_EQ(findShocks(log, 15), QList<double>({3.0, 17.0}));
    EXPECT_EQ(findShocks(log, 1000), QList<double>());
    EXPECT_EQ(findShocks({}, 25), QList<double>());

    // The user's own setting is put back as it was.
    QSettings stored(QStringLiteral("Korvane"), QStringLiteral("Korvane"));
    const QVariant before = stored.value("shockThreshold");
    stored.remove("shockThreshold");
    EXPECT_EQ(shockThreshold(), 25.0);
    setUserDefault(QStringLiteral("shockThreshold"), 34.0);
    EXPECT_EQ(shockThreshold(), 34.0);
    if (before.isValid())
        stored.setValue("shockThreshold", before);
    else
        stored.remove("shockThreshold");
}

} // namespace
