// The drive strip in the window: the day's drives drawn, and a click on them playing the moment
// under the pointer.
#include "windowtestsupport.h"

#include "playbacktestsupport.h"

namespace korvane::test {
namespace {

using DriveStripWindow = WindowTest;

QString text(QQuickItem *item)
{
    return item ? item->property("text").toString() : QString();
}

TEST_F(DriveStripWindow, ShowsTheDaysDrivesAndAClickPlaysTheMomentUnderIt)
{
    DriveTimeline &timeline = *model().timeline();
    // The card's newest day: its four recordings far apart, four drives.
    ASSERT_TRUE(waitUntil([&] { return timeline.blocks().size() == 4; }));
    settle();
    EXPECT_EQ(text(item(QStringLiteral("driveStrip/day"))), u"2024/10/05");
    QQuickItem *track = item(QStringLiteral("driveStrip/driveTrack"));
    ASSERT_TRUE(track);
    EXPECT_EQ(findItem(QStringLiteral("driveStrip/playedMoment")), nullptr) << "nothing plays";

    // The first drive is the 12 s continuous recording of 14:30:12: a click a third into its
    // block plays it from about 4 s in.
    const QVariantMap first = timeline.blocks()[0].toMap();
    const double point =
        first[QStringLiteral("start")].toDouble() + first[QStringLiteral("width")].toDouble() / 3;
    click(track, {point * track->width(), track->height() / 2});
    ASSERT_TRUE(waitUntil([&] {
        return model().nowPlaying()->openRecording() &&
               model().nowPlaying()->openRecording()->name == sample::twoChannels &&
               player().isPlaying();
    }));
    const QDateTime clicked = timeline.momentAt(point);
    const std::optional<QDateTime> shown = timeline.playedMoment();
    ASSERT_TRUE(shown);
    // Where the click landed, a pixel's worth of the day's span either way, and the clock since.
    const qint64 pixelMs =
        timeline.momentAt(0).msecsTo(timeline.momentAt(1)) / static_cast<qint64>(track->width());
    EXPECT_GE(*shown, clicked.addMSecs(-pixelMs));
    settle();
    EXPECT_TRUE(findItem(QStringLiteral("driveStrip/playedMoment")));
    EXPECT_EQ(text(item(QStringLiteral("driveStrip/moment"))).left(5), u"14:30");
    // A drive of one recording: the seek bar stays the recording's.
    EXPECT_FALSE(timeline.drivePlays());
    EXPECT_EQ(text(item(QStringLiteral("duration"))), u"00:00:12");
}

} // namespace
} // namespace korvane::test
