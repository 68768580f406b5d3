// Finding and keeping a moment on the player screen: the shock marks on the seek bar, the frame
// step and speed keys and buttons, and the evidence clip's marks.
#include "windowtestsupport.h"

#include "playbacktestsupport.h"

#include <cmath>

namespace korvane::test {
namespace {

using Evidence = WindowTest;

const QString eventRecording = QStringLiteral("E_20241005_143512.mp4");

// Where a point of the recording (0 to 1) lies on the seek bar's groove, in window coordinates.
double grooveX(QQuickItem *seekBar, double fraction)
{
    const double left = seekBar->property("leftPadding").toDouble();
    const double width = seekBar->property("availableWidth").toDouble();
    return seekBar->mapToScene({left + fraction * width, 0}).x();
}

TEST_F(Evidence, ShockMarksStepsSpeedsAndClipMarksFromKeysAndButtons)
{
    showAll();
    open(eventRecording);
    QQuickItem *seekBar = item(QStringLiteral("seekBar"));

    // The knock halfway through is marked where it is; a click plays from 5 s before it, also
    // when paused. The seek puts the clock there at once, so the time read is the click's.
    player().pause();
    // The records the marks come from are read in the background, on a busy machine late.
    ASSERT_TRUE(waitUntil([&] { return model().nowPlaying()->shockMarks().size() == 1; }))
        << model().nowPlaying()->shockMarks().size();
    const double shock = model().nowPlaying()->shockMarks().first();
    QQuickItem *mark = item(QStringLiteral("shockMark0"));
    EXPECT_NEAR(mark->mapToScene({mark->width() / 2, 0}).x(), grooveX(seekBar, shock), 1.0);
    click(mark);
    const double leadIn = shock * player().duration() - 5;
    EXPECT_TRUE(waitUntil([&] { return std::abs(player().currentTime() - leadIn) < 0.15; }))
        << player().currentTime() << " against " << leadIn;
    EXPECT_TRUE(player().isPlaying());

    // Paused, "." and "," step one picture; the buttons too. Until the pipeline has stopped a
    // channel may still take the picture of where it stopped.
    player().pause();
    ASSERT_TRUE(waitUntilSettled(player()));
    settle();
    const auto shown = [&] { return player().videoPlayers().at(0)->currentFrameTime(); };
    ASSERT_TRUE(waitUntil([&] { return shown().has_value(); }));
    const double start = *shown();
    key(Qt::Key_Period);
    ASSERT_TRUE(waitUntil([&] { return shown() && *shown() > start + 0.01; }));
    const double next = *shown();
    EXPECT_LT(next, start + 1.0 / 30 + 1e-3);
    EXPECT_DOUBLE_EQ(player().currentTime(), next);
    click(QStringLiteral("stepForward"));
    ASSERT_TRUE(waitUntil([&] { return shown() && *shown() > next + 0.01; }));
    // Back on the picture of `next` (a step back lands inside it), then on the one before.
    key(Qt::Key_Comma);
    ASSERT_TRUE(waitUntil([&] { return shown() && *shown() < next + 1.0 / 30 - 1e-3; }));
    EXPECT_GE(*shown(), next);
    click(QStringLiteral("stepBackward"));
    ASSERT_TRUE(waitUntil([&] { return shown() && *shown() < next - 1e-3; }));
    EXPECT_FALSE(player().isPlaying());

    // "]" and "[" change the speed; the button shows it and goes round.
    QQuickItem *rate = item(QStringLiteral("rate"));
    key(Qt::Key_BracketRight);
    EXPECT_EQ(rate->property("text").toString(), "2x");
    key(Qt::Key_BracketLeft);
    key(Qt::Key_BracketLeft);
    EXPECT_EQ(rate->property("text").toString(), "0.5x");
    click(rate);
    EXPECT_EQ(player().rate(), 1.0);

    // I and O mark the clip at the clock; the span shows on the seek bar between them.
    EXPECT_FALSE(item(QStringLiteral("clipExport"))->isEnabled());
    key(Qt::Key_I);
    const double from = player().currentTime();
    EXPECT_DOUBLE_EQ(model().clips()->clipFrom(), from);
    player().skip(4);
    settle();
    click(QStringLiteral("clipEnd"));
    EXPECT_DOUBLE_EQ(model().clips()->clipTo(), from + 4);
    settle();
    QQuickItem *span = item(QStringLiteral("clipSpan"));
    const double duration = player().duration();
    EXPECT_NEAR(span->mapToScene({0, 0}).x(), grooveX(seekBar, from / duration), 1.0);
    EXPECT_NEAR(span->mapToScene({span->width(), 0}).x(), grooveX(seekBar, (from + 4) / duration),
                1.0);
    EXPECT_TRUE(item(QStringLiteral("clipExport"))->isEnabled());
    const bool caption = model().clips()->clipCaption();
    click(QStringLiteral("clipCaption"));
    EXPECT_EQ(model().clips()->clipCaption(), !caption);
    click(QStringLiteral("clipCaption"));
}

} // namespace
} // namespace korvane::test
