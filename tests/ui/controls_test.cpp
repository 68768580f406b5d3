// The controls around the video: the fifth channel's window, the magnifier, the picture and
// sound controls, and the keys.
#include "windowtestsupport.h"

#include "base/identity.h"
#include "base/userdefaults.h"
#include "httppage.h"
#include "model/versionmanager.h"
#include "playbacktestsupport.h"
#include "scenetestsupport.h"
#include "ui/graph/glinegraph.h"

#include <QPointer>
#include <QTest>

#include <cmath>

namespace korvane::test {
namespace {

using Controls = WindowTest;
using GraphBar = WindowTest;
using ReleaseQuestion = WindowTest;

QQuickWindow *popupWindow()
{
    return findWindow(QStringLiteral("popupWindow"));
}

TEST_F(Controls, TheFifthChannelOpensClosesAndReopensInAWindowOfItsOwn)
{
    showAll();
    open(sample::twoChannels);
    EXPECT_FALSE(findItem(QStringLiteral("ch5")));
    open(sample::fiveChannels);
    click(QStringLiteral("ch5"));
    ASSERT_TRUE(waitUntil([] { return popupWindow() != nullptr; }));
    QPointer<QQuickWindow> first = popupWindow();
    EXPECT_EQ(first->size(), QSize(400, 220));
    EXPECT_EQ(first->title(), u"CH5");
    EXPECT_EQ(first->transientParent(), window);

    click(QStringLiteral("ch5"));
    EXPECT_TRUE(waitUntil([] { return popupWindow() == nullptr; }));
    EXPECT_TRUE(waitUntil([&] { return first.isNull(); })) << "a closed window is dropped";
    click(QStringLiteral("ch5"));
    ASSERT_TRUE(waitUntil([] { return popupWindow() != nullptr; }));

    // Full screen closes it and offers the channel as a tab; leaving from that tab brings the
    // window back.
    click(QStringLiteral("fullScreen"));
    ASSERT_TRUE(waitUntil([&] { return model().layout()->isFullScreen(); }));
    EXPECT_TRUE(waitUntil([] { return popupWindow() == nullptr; }));
    EXPECT_FALSE(findItem(QStringLiteral("ch5"))) << "in full screen the channel has a tab";
    click(QStringLiteral("layoutTabs/tab:CH5"));
    EXPECT_EQ(model().layout()->videoView(), ScreenLayout::VideoView::OneChannel);
    EXPECT_EQ(model().layout()->largeChannel(), 5);
    EXPECT_TRUE(findItem(QStringLiteral("singleChannel")));
    key(Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return !model().layout()->isFullScreen(); }));
    EXPECT_EQ(model().layout()->videoView(), ScreenLayout::VideoView::AllChannels);
    EXPECT_TRUE(waitUntil([] { return popupWindow() != nullptr; }));

    // A recording without a fifth channel takes its window away.
    open(sample::twoChannels);
    EXPECT_TRUE(waitUntil([] { return popupWindow() == nullptr; }));
    EXPECT_FALSE(findItem(QStringLiteral("ch5")));
}

TEST_F(Controls, TheMagnifierWorksOnOneChannelAndShowsItFiveTimesLarger)
{
    open(sample::twoChannels);
    QQuickItem *magnify = item(QStringLiteral("magnify"));
    EXPECT_TRUE(magnify->property("dimmed").toBool());
    click(magnify);
    EXPECT_FALSE(model().layout()->showMagnifier());
    EXPECT_FALSE(findItem(QStringLiteral("overlay"))) << "no alert to close";
    // The pointer on the button shows why it does nothing.
    QTest::mouseMove(window, magnify->mapToScene(QPointF(10, 10)).toPoint());
    ASSERT_TRUE(waitUntil([&] { return magnify->property("hovered").toBool(); }));
    EXPECT_TRUE(magnify->property("tip").toString().contains(u"채널 하나를 크게"));

    click(QStringLiteral("layoutTabs/tab:CH1"));
    click(QStringLiteral("magnify"));
    EXPECT_TRUE(model().layout()->showMagnifier());
    player().pause();
    const double t = 2.5;
    player().seek(t / player().duration());
    ChannelPlayer *channel = model().nowPlaying()->videoPlayers()[0];
    ASSERT_TRUE(waitUntil([&] { return channel->currentFrameTime() == t; }));

    QQuickItem *view = item(QStringLiteral("singleChannel"));
    const QRect picture = pictureRect(view, channel->frameSize());
    const QPoint at = picture.topLeft() + QPoint(picture.width() * 3 / 5, picture.height() * 2 / 3);
    EXPECT_FALSE(findItem(QStringLiteral("magnifier")));
    QTest::mouseMove(window, at);
    settle(); // the lens follows the pointer and shows the picture under it
    QQuickItem *lens = item(QStringLiteral("magnifier"));
    ASSERT_TRUE(lens);
    EXPECT_EQ(QSizeF(lens->width(), lens->height()), QSizeF(200, 200));
    const QPointF centre = lens->mapToScene({100, 100});
    EXPECT_LE((centre - QPointF(at)).manhattanLength(), 1.0);

    // Around the lens's centre: the picture around the point under the mouse, five times larger.
    const QImage screen = shot();
    const QSize large = picture.size() * 5;
    const QPoint inLarge = (at - picture.topLeft()) * 5;
    const QImage expected =
        referencePicture(channel->filePath(), 0, static_cast<int>(t * 30), channel->frameSize())
            .scaled(large, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .copy(QRect(inLarge - QPoint(60, 60), QSize(120, 120)));
    const QImage seen = screen.copy(QRect(at - QPoint(60, 60), QSize(120, 120)));
    EXPECT_LT(meanDifference(seen, expected), 15.0);
    const QImage unmagnified = screen.copy(QRect(at - QPoint(60, 60), QSize(120, 120)));
    const QColor border = screen.pixelColor(lens->mapToScene({1, 100}).toPoint());
    EXPECT_GT(border.lightness(), 240) << "a white border";

    QTest::mouseMove(window, view->mapToScene({-20, view->height() / 2}).toPoint());
    settle();
    EXPECT_FALSE(findItem(QStringLiteral("magnifier")));
    EXPECT_GT(meanDifference(shot().copy(QRect(at - QPoint(60, 60), QSize(120, 120))), unmagnified),
              5.0)
        << "the lens went with the mouse";
}

TEST_F(Controls, MirrorBrightnessAndSoundControlsKeepTheirSettings)
{
    open(sample::twoChannels);
    EXPECT_TRUE(item(QStringLiteral("mirror2"))->isEnabled());
    EXPECT_FALSE(item(QStringLiteral("mirror3"))->isEnabled());

    const QStringList icons = {"mirror1_horizontal", "mirror1_vertical", "mirror1_all",
                               "mirror1_normal"};
    for (int k = 0; k < 4; ++k) {
        click(QStringLiteral("mirror1"));
        const int mode = (k + 1) % 4;
        EXPECT_EQ(item(QStringLiteral("mirror1"))->property("system").toString(), icons[k]);
        EXPECT_EQ(userDefault(QStringLiteral("flip1")).toInt(), mode);
        EXPECT_EQ(model().nowPlaying()->videoPlayers()[0]->mirrorMode(), mode);
    }
    EXPECT_EQ(model().nowPlaying()->videoPlayers()[1]->mirrorMode(), 0);

    QQuickItem *slider = item(QStringLiteral("brightness"));
    click(slider, {slider->width() * 0.9, slider->height() / 2});
    const double moved = userDefault(QStringLiteral("brightness")).toDouble();
    EXPECT_GT(moved, 0.7);
    EXPECT_DOUBLE_EQ(model().nowPlaying()->videoPlayers()[0]->brightness(), moved);
    click(QStringLiteral("brightnessReset"));
    EXPECT_DOUBLE_EQ(userDefault(QStringLiteral("brightness")).toDouble(), 0.5);
    EXPECT_DOUBLE_EQ(model().nowPlaying()->videoPlayers()[1]->brightness(), 0.5);
    EXPECT_DOUBLE_EQ(slider->property("value").toDouble(), 0.5);

    click(QStringLiteral("sound"));
    EXPECT_EQ(item(QStringLiteral("sound"))->property("system").toString(), u"speaker.slash.fill");
    EXPECT_DOUBLE_EQ(userDefault(QStringLiteral("volume")).toDouble(), 0.0);
    click(QStringLiteral("sound"));
    EXPECT_DOUBLE_EQ(userDefault(QStringLiteral("volume")).toDouble(), 0.5);
    EXPECT_EQ(item(QStringLiteral("sound"))->property("system").toString(), u"speaker.wave.2.fill");
}

TEST_F(Controls, KeysPlaySkipSwitchFullScreenWalkTheListAndOpenFiles)
{
    open(sample::twoChannels);
    ASSERT_TRUE(player().isPlaying());
    key(Qt::Key_Space);
    EXPECT_FALSE(player().isPlaying());
    key(Qt::Key_Space);
    EXPECT_TRUE(player().isPlaying());
    key(Qt::Key_Space);

    player().seek(1.0 / player().duration());
    key(Qt::Key_Right);
    EXPECT_NEAR(player().currentTime(), 11.0, 0.05);
    EXPECT_NEAR(item(QStringLiteral("seekBar"))->property("value").toDouble(),
                11.0 / player().duration(), 0.01);
    key(Qt::Key_Left);
    EXPECT_NEAR(player().currentTime(), 1.0, 0.05);

    key(Qt::Key_F);
    EXPECT_TRUE(waitUntil([&] { return model().layout()->isFullScreen(); }));
    EXPECT_FALSE(findItem(QStringLiteral("fileList")));
    key(Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([&] { return !model().layout()->isFullScreen(); }));

    // The list has the keys: up to the row above, Enter opens it.
    QQuickItem *list = item(QStringLiteral("fileList"));
    ASSERT_EQ(list->property("currentIndex").toInt(), 1);
    key(Qt::Key_Up);
    EXPECT_EQ(list->property("currentIndex").toInt(), 0);
    key(Qt::Key_Return);
    ASSERT_TRUE(waitUntil(
        [&] {
            return model().library()->selectedIndex() == 0 && !model().library()->isSelecting();
        },
        90000));
    EXPECT_EQ(model().library()->filtered()[0].name, sample::unfinished);

    QObject *dialog = window->findChild<QObject *>(QStringLiteral("openDialog"));
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(dialog->property("visible").toBool());
    key(Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(waitUntil([&] { return dialog->property("visible").toBool(); }));
    EXPECT_EQ(dialog->property("title").toString(), u"MP4 파일 선택");
    QMetaObject::invokeMethod(dialog, "reject");
}

TEST_F(GraphBar, TheGSensorGraphIsDrawnUpToThePlayedTime)
{
    showAll();
    open(QStringLiteral("E_20241005_143512.mp4"));
    player().pause();
    // A drag of the seek bar to 6 s, released: the graph is drawn from 0 to there.
    player().setIsScrubbing(true);
    player().seek(6.0 / player().duration());
    player().setIsScrubbing(false);
    // The records are read in the background; on a busy machine they come after the seek.
    ASSERT_TRUE(waitUntil([&] { return model().gSensorGraph()->bufferX()->count() >= 60; }));
    QQuickItem *plot = item(QStringLiteral("gSensorPlot"));
    ASSERT_TRUE(plot);
    const QRect area =
        plot->mapRectToScene(QRectF(0, 0, plot->width(), plot->height())).toAlignedRect();
    const QImage graph = shot().copy(area);
    const int played = static_cast<int>(area.width() * 6.0 / player().duration());
    int blue = 0, green = 0, red = 0, beyond = 0;
    QList<bool> drawnColumns(graph.width(), false);
    for (int y = 0; y < graph.height(); ++y) {
        for (int x = 0; x < graph.width(); ++x) {
            const QColor c = graph.pixelColor(x, y);
            const bool coloured = std::max({c.red(), c.green(), c.blue()}) -
                                      std::min({c.red(), c.green(), c.blue()}) >
                                  80;
            if (!coloured)
                continue;
            drawnColumns[x] = true;
            if (x > played + 3)
                ++beyond;
            else if (c.blue() > c.red() && c.blue() > c.green())
                ++blue;
            else if (c.green() > c.red())
                ++green;
            else
                ++red;
        }
    }
    EXPECT_GT(blue, 20);
    EXPECT_GT(green, 20);
    EXPECT_GT(red, 20);
    EXPECT_EQ(beyond, 0) << "nothing drawn past the played time";
    // Unbroken lines: every column of the played part holds some of them.
    QList<int> gaps;
    for (int x = 1; x < played - 1; ++x) {
        if (!drawnColumns[x])
            gaps.append(x);
    }
    EXPECT_EQ(gaps, QList<int>()) << "of " << played << " columns";
}

// However many points fall into a pixel column, from a few per column to one every few columns,
// a line of the graph has no gaps and stays inside its item.
TEST(GraphLine, StaysUnbrokenAtEveryDensityOfPoints)
{
    for (const double pixelsPerPoint : {0.3, 1.0, 1.3, 2.2, 7.0}) {
        SCOPED_TRACE(pixelsPerPoint);
        QQuickWindow window;
        window.resize(264, 120);
        window.setColor(Qt::black);
        GGraphBuffer buffer;
        const int points = static_cast<int>(250 / pixelsPerPoint);
        // Level runs with steps between them, and a stretch of noise.
        for (int i = 0; i < points; ++i) {
            const int value = i < points / 2 ? ((i / 8) % 2) * 20 : (i * 7919) % 11 - 5;
            buffer.append({i / 10.0, value});
        }
        auto *line = new GLineGraph(window.contentItem());
        line->setSize(QSizeF(264, 120));
        line->setColor(Qt::green);
        line->setDuration(264 / pixelsPerPoint / 10.0);
        line->setBuffer(&buffer);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        ASSERT_TRUE(waitForSettledScene({&window})) << "no frame of the line was shown";
        const QImage shot = window.grabWindow();
        const int lastX = static_cast<int>(std::floor((points - 1) * pixelsPerPoint));
        QList<int> gaps;
        for (int x = 0; x <= lastX; ++x) {
            bool drawn = false;
            for (int y = 0; y < shot.height() && !drawn; ++y)
                drawn = shot.pixelColor(x, y).green() > 100;
            if (!drawn)
                gaps.append(x);
        }
        EXPECT_EQ(gaps, QList<int>());
    }
}

TEST_F(ReleaseQuestion, ANewerReleaseIsOfferedAndNoKeepsTheViewer)
{
    const HttpPage server(QStringLiteral("<table><tr><td>%1 (Build %2)</td></tr></table>")
                              .arg(appVersion())
                              .arg(appBuild().toInt() + 1)
                              .toUtf8());
    auto *versions = window->findChild<VersionManager *>();
    ASSERT_TRUE(versions);
    versions->setPageAddress(server.address(QStringLiteral("/tavren/index.html")));
    versions->checkForUpdate(model().notifications());
    ASSERT_TRUE(waitUntil([&] { return findItem(QStringLiteral("releaseMessage")) != nullptr; }));
    settle();
    EXPECT_TRUE(item(QStringLiteral("releaseMessage"))
                    ->property("text")
                    .toString()
                    .startsWith(QStringLiteral("최신 버전: %1 (").arg(appVersion())));
    EXPECT_TRUE(model().notifications()->isAlerting());
    click(QStringLiteral("releaseNo"));
    settle();
    EXPECT_FALSE(findItem(QStringLiteral("releaseMessage")));
    EXPECT_FALSE(model().notifications()->isAlerting());
    EXPECT_TRUE(window->isVisible());
}

} // namespace
} // namespace korvane::test
