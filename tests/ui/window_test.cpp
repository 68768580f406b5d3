// The window as a driver meets it: the card's list, playing a recording, the layouts, what
// covers the screen, taking the card out and quitting.
#include "windowtestsupport.h"

#include "card/workingfolder.h"
#include "playbacktestsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

namespace korvane::test {
namespace {

using Window = WindowTest;

QString text(QQuickItem *item)
{
    return item ? item->property("text").toString() : QString();
}

bool workingCopiesExist()
{
    return QDir(WorkingFolder::tempRoot() + QStringLiteral("mov")).exists() ||
           QDir(WorkingFolder::tempRoot() + QStringLiteral("cfg")).exists();
}

TEST_F(Window, OpensCentredOnTheCardsListNewestFirstAndTabsFilterIt)
{
    // 85 % of the screen's free area, no smaller than the window can be.
    const QSize available = window->screen()->availableSize();
    EXPECT_EQ(window->size(),
              (available * 85 / 100).expandedTo(window->minimumSize()).boundedTo(available));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Korvane \\d+\\.\\d+\\.\\d+ \\(\\d+\\)$"))
                    .match(window->title())
                    .hasMatch())
        << window->title().toStdString();
    const QPoint centre = window->screen()->geometry().center();
    EXPECT_LE((window->geometry().center() - centre).manhattanLength(), 4);
    EXPECT_FALSE(findItem(QStringLiteral("overlay")));

    // Continuous recordings first: the newer one, still to be rebuilt, on top with its star.
    QQuickItem *list = item(QStringLiteral("fileList"));
    ASSERT_EQ(list->property("count").toInt(), 2);
    EXPECT_EQ(model().library()->filtered()[0].name, sample::unfinished);
    EXPECT_EQ(model().library()->filtered()[1].name, sample::twoChannels);

    click(QStringLiteral("tab:이벤트"));
    ASSERT_TRUE(waitUntil([&] { return list->property("count").toInt() == 1; }));
    EXPECT_EQ(model().library()->filtered()[0].type, u"event");
    showAll();
    EXPECT_EQ(list->property("count").toInt(), 6);

    // Nothing open: no full screen, no speed.
    EXPECT_FALSE(findItem(QStringLiteral("fullScreen")));
    EXPECT_EQ(text(item(QStringLiteral("speed"))), u"0 km/h");
    EXPECT_EQ(text(item(QStringLiteral("currentTime"))), u"00:00:00");
}

TEST_F(Window, AClickedRowPlaysEveryChannelInTheVideoArea)
{
    open(sample::twoChannels);
    ASSERT_EQ(model().nowPlaying()->videoPlayers().size(), 2);
    EXPECT_EQ(text(item(QStringLiteral("openTitle"))), u"2024/10/05 14:30:12 · 상시");
    EXPECT_TRUE(findItem(QStringLiteral("fullScreen")));
    EXPECT_EQ(text(item(QStringLiteral("duration"))), u"00:00:12");

    player().pause();
    const double t = 2.5;
    player().seek(t / player().duration());
    ASSERT_TRUE(waitUntil([&] {
        return model().nowPlaying()->videoPlayers()[0]->currentFrameTime() == t &&
               model().nowPlaying()->videoPlayers()[1]->currentFrameTime() == t;
    }));
    settle();
    EXPECT_EQ(text(item(QStringLiteral("currentTime"))), u"00:00:02.50") << "paused: hundredths";
    const QImage screen = shot();
    const int frame = static_cast<int>(t * 30);
    // The second channel, 480x270, has an odd number of chroma rows: a layout Qt gets wrong.
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k);
        ChannelPlayer *channel = model().nowPlaying()->videoPlayers()[k];
        const QSize size = channel->frameSize();
        const QRect rect = pictureRect(item(QStringLiteral("picture%1").arg(k + 1)), size);
        ASSERT_GT(rect.width(), 100);
        // Below the channel's label.
        const QRect compared = rect.adjusted(0, rect.height() / 5, 0, 0);
        const auto expected = [&](int index) {
            return referencePicture(channel->filePath(), k, index, size)
                .scaled(rect.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .copy(compared.translated(-rect.topLeft()));
        };
        const double shown = meanDifference(screen.copy(compared), expected(frame));
        EXPECT_LT(shown, 12.0);
        EXPECT_GT(meanDifference(screen.copy(compared), expected(frame + 60)), shown + 10);
    }

    // Another tab hides its row; the header still says what plays.
    click(QStringLiteral("tab:이벤트"));
    ASSERT_TRUE(waitUntil([&] { return model().library()->filtered().size() == 1; }));
    EXPECT_EQ(text(item(QStringLiteral("openTitle"))), u"2024/10/05 14:30:12 · 상시");
}

TEST_F(Window, LayoutTabsAndTheSidePickerFollowTheChannelCount)
{
    showAll();
    open(sample::oneChannel);
    EXPECT_EQ(model().layout()->layoutTabs(), QStringList({"ALL", "CH1", "지도"}));
    EXPECT_EQ(model().layout()->sideTabs(), QStringList({"CH1", "지도"}));

    click(QStringLiteral("layoutTabs/tab:CH1"));
    EXPECT_EQ(model().layout()->videoView(), ScreenLayout::VideoView::OneChannel);
    EXPECT_EQ(model().layout()->largeChannel(), 1);
    EXPECT_TRUE(findItem(QStringLiteral("singleChannel")));
    click(QStringLiteral("layoutTabs/tab:지도"));
    EXPECT_EQ(model().layout()->videoView(), ScreenLayout::VideoView::Map);
    EXPECT_TRUE(findItem(QStringLiteral("mapPlace")));
    EXPECT_FALSE(findItem(QStringLiteral("singleChannel")));
    click(QStringLiteral("layoutTabs/tab:ALL"));
    EXPECT_EQ(model().layout()->videoView(), ScreenLayout::VideoView::AllChannels);
    EXPECT_TRUE(findItem(QStringLiteral("picture1")));

    EXPECT_FALSE(findItem(QStringLiteral("sideChannel")));
    click(QStringLiteral("sideTabs/tab:CH1"));
    EXPECT_EQ(model().layout()->videoChannel(), 0);
    EXPECT_TRUE(findItem(QStringLiteral("sideChannel")));
    click(QStringLiteral("sideTabs/tab:지도"));
    EXPECT_EQ(model().layout()->videoChannel(), 4);
    EXPECT_TRUE(findItem(QStringLiteral("sideMapPlace")));

    // Five channels: four tabs of their own, the fifth has a window; all five in the grid.
    open(sample::fiveChannels);
    EXPECT_EQ(model().layout()->layoutTabs(),
              QStringList({"ALL", "CH1", "CH2", "CH3", "CH4", "지도"}));
    EXPECT_EQ(model().layout()->sideTabs(), QStringList({"CH1", "CH2", "CH3", "CH4", "지도"}));
    EXPECT_EQ(model().layout()->videoChannel(), -1) << "a new channel count clears the side panel";
    EXPECT_FALSE(findItem(QStringLiteral("layoutTabs/tab:CH5")));
    settle();
    // The side panel's five titles fit it.
    for (const QString &title : model().layout()->sideTabs()) {
        QQuickItem *tab = item(QStringLiteral("sideTabs/tab:") + title);
        ASSERT_TRUE(tab);
        EXPECT_LE(tab->mapToScene({tab->width(), 0}).x(), window->width()) << title.toStdString();
    }
    click(QStringLiteral("sideTabs/tab:지도"));
    EXPECT_EQ(model().layout()->videoChannel(), 4);
    QQuickItem *videoArea = item(QStringLiteral("videoArea"));
    const QRectF area =
        videoArea->mapRectToScene(QRectF(0, 0, videoArea->width(), videoArea->height()));
    QList<QRect> pictures;
    for (int k = 0; k < 5; ++k) {
        QQuickItem *view = item(QStringLiteral("picture%1").arg(k + 1));
        ASSERT_TRUE(view);
        const QRect rect = pictureRect(view, model().nowPlaying()->videoPlayers()[k]->frameSize());
        EXPECT_TRUE(area.toAlignedRect().adjusted(-1, -1, 1, 1).contains(rect)) << k;
        EXPECT_GT(rect.width(), 150) << k;
        for (const QRect &other : pictures)
            EXPECT_FALSE(other.adjusted(1, 1, -1, -1).intersects(rect)) << k;
        pictures.append(rect);
    }

    // A channel shown large that the next recording lacks gives way to all of its channels.
    click(QStringLiteral("layoutTabs/tab:CH4"));
    EXPECT_EQ(model().layout()->videoView(), ScreenLayout::VideoView::OneChannel);
    EXPECT_EQ(model().layout()->largeChannel(), 4);
    open(sample::twoChannels);
    EXPECT_EQ(model().layout()->videoView(), ScreenLayout::VideoView::AllChannels);
    EXPECT_TRUE(findItem(QStringLiteral("picture2")));
}

TEST_F(Window, NoCardCoversAnAlertAndAnAlertCoversProgress)
{
    removeCard();
    EXPECT_EQ(text(item(QStringLiteral("overlay/overlayTitle"))),
              u"SD 카드를 인식하지 못하였습니다.");
    EXPECT_EQ(text(item(QStringLiteral("overlay/overlayMessage"))),
              u"블랙박스 SD 카드가 올바르게 삽입되었는지 확인해 주세요.");
    EXPECT_EQ(text(item(QStringLiteral("overlay/overlayButton"))), u"컴퓨터의 영상 열기");
    EXPECT_FALSE(model().downloads()->readyToDownload()); // an alert: nothing ticked
    settle();
    EXPECT_EQ(text(item(QStringLiteral("overlay/overlayTitle"))),
              u"SD 카드를 인식하지 못하였습니다.");

    insertCard();
    ASSERT_TRUE(waitUntil([&] { return model().library()->recordingCount() == 6; }, 60000));
    settle();
    EXPECT_EQ(text(item(QStringLiteral("overlay/overlayMessage"))),
              u"다운로드할 영상을 목록에서 체크해 주세요.");
    EXPECT_EQ(text(item(QStringLiteral("overlay/overlayButton"))), u"확인");
    click(QStringLiteral("overlay/overlayButton"));
    EXPECT_FALSE(findItem(QStringLiteral("overlay")));

    // An unfinished recording shows its progress while it is rebuilt, then plays.
    QList<Notifications::Overlay> shown;
    QObject::connect(model().notifications(), &Notifications::overlayChanged, window,
                     [&] { shown.append(model().notifications()->overlay()); });
    open(sample::unfinished);
    EXPECT_TRUE(shown.contains(Notifications::Overlay::Progress));
    settle();
    EXPECT_FALSE(findItem(QStringLiteral("overlay")));
}

TEST_F(Window, ADownloadShowsItsProgressCanBeCancelledAndSaysWhenItIsDone)
{
    QTemporaryDir folder;
    showAll();
    click(QStringLiteral("checkAll"));
    ASSERT_TRUE(model().library()->isAllChecked());
    ASSERT_EQ(model().library()->checkedItems().size(), 6);

    // Camera 1 of each: the first recording, unfinished, is rebuilt first; time to cancel.
    EXPECT_EQ(text(item(QStringLiteral("channel"))), u"CH All");
    click(QStringLiteral("channel"));
    EXPECT_EQ(text(item(QStringLiteral("channel"))), u"CH1");
    model().downloads()->startDownload(
        QUrl::fromLocalFile(folder.path())); // the folder dialog's answer
    ASSERT_EQ(model().notifications()->overlay(), Notifications::Overlay::Download);
    settle();
    EXPECT_EQ(text(item(QStringLiteral("overlay/overlayTitle"))), u"블랙박스 영상 다운로드");
    EXPECT_EQ(text(item(QStringLiteral("overlay/overlayMessage"))),
              u"총 6 중 1 개 영상 다운로드 중...");
    EXPECT_EQ(text(item(QStringLiteral("overlay/overlayButton"))), u"취소");
    click(QStringLiteral("overlay/overlayButton"));
    EXPECT_FALSE(findItem(QStringLiteral("overlay")));
    ASSERT_TRUE(waitUntil([&] { return !model().downloads()->isDownloading(); }, 90000));
    const QStringList kept = QDir(folder.path()).entryList(QDir::Files);
    EXPECT_LE(kept.size(), 1);
    // A cancelled download names only what it saved before it stopped.
    if (kept.isEmpty()) {
        EXPECT_FALSE(findItem(QStringLiteral("overlay")));
    } else {
        settle();
        EXPECT_EQ(text(item(QStringLiteral("overlay/overlayMessage"))),
                  QStringLiteral("%1 을(를) %2에 저장했습니다.")
                      .arg(kept.front(), SaveFolders::shownPath(folder.path())));
        click(QStringLiteral("overlay/overlayButton"));
    }

    click(QStringLiteral("checkAll"));
    model().library()->setChecked(row(sample::twoChannels), true);
    model().downloads()->startDownload(QUrl::fromLocalFile(folder.path()));
    ASSERT_TRUE(
        waitUntil([&] { return model().notifications()->savedMessage().has_value(); }, 120000));
    settle();
    EXPECT_EQ(text(item(QStringLiteral("overlay/overlayMessage"))),
              QStringLiteral("N_20241005_143012_CH1.mp4 을(를) %1에 저장했습니다.")
                  .arg(SaveFolders::shownPath(folder.path())));
    EXPECT_EQ(text(item(QStringLiteral("overlay/overlayButton"))), u"확인");
    EXPECT_TRUE(QFileInfo::exists(folder.filePath(QStringLiteral("N_20241005_143012_CH1.mp4"))));
    click(QStringLiteral("overlay/overlayButton"));
    EXPECT_FALSE(findItem(QStringLiteral("overlay")));
}

TEST_F(Window, TakingTheCardOutClearsTheListThePlayersAndTheWorkingCopies)
{
    open(sample::twoChannels);
    ASSERT_TRUE(workingCopiesExist());
    removeCard();
    ASSERT_TRUE(waitUntil([&] { return !workingCopiesExist(); }));
    EXPECT_EQ(model().library()->recordingCount(), 0);
    EXPECT_EQ(item(QStringLiteral("fileList"))->property("count").toInt(), 0);
    EXPECT_TRUE(model().nowPlaying()->videoPlayers().isEmpty());
    EXPECT_TRUE(player().videoPlayers().isEmpty());
    EXPECT_FALSE(findItem(QStringLiteral("picture1")));
    EXPECT_TRUE(model().library()->uploaded());
    EXPECT_TRUE(waitUntil([&] { return !model().library()->uploaded(); }, 3000));

    insertCard();
    EXPECT_TRUE(waitUntil([&] { return model().library()->recordingCount() == 6; }, 60000));
    settle();
    EXPECT_FALSE(findItem(QStringLiteral("overlay")));
}

TEST_F(Window, TakingTheCardOutDuringAnOpenEndsItQuietlyAndClosesTheFifthChannel)
{
    showAll();
    open(sample::fiveChannels);
    click(QStringLiteral("ch5"));
    ASSERT_TRUE(model().layout()->isPopupOpen());
    removeCard();
    EXPECT_FALSE(model().layout()->isPopupOpen());

    insertCard();
    ASSERT_TRUE(waitUntil([&] { return model().library()->filtered().size() == 2; }, 60000));
    // A click without waiting for the window to rest: the busy dots of the rebuild keep it moving
    // until the open is over.
    QQuickItem *list = item(QStringLiteral("fileList"));
    QQuickItem *delegate = nullptr;
    QMetaObject::invokeMethod(list, "itemAtIndex", Q_RETURN_ARG(QQuickItem *, delegate),
                              Q_ARG(int, row(sample::unfinished)));
    ASSERT_TRUE(delegate);
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier,
                      delegate->mapToScene({200, delegate->height() / 2}).toPoint());
    ASSERT_TRUE(waitUntil(
        [&] { return model().notifications()->overlay() == Notifications::Overlay::Progress; },
        30000))
        << "the rebuild shows its progress";
    removeCard();
    ASSERT_TRUE(waitUntil([&] { return !model().library()->isSelecting(); }, 60000));
    EXPECT_EQ(model().notifications()->alertMessage(), std::nullopt)
        << "no word about a card that is gone";
    EXPECT_FALSE(player().isPlaying());
    EXPECT_TRUE(model().nowPlaying()->videoPlayers().isEmpty());
    EXPECT_EQ(text(item(QStringLiteral("openTitle"))), u"");

    insertCard();
    ASSERT_TRUE(waitUntil([&] { return model().library()->recordingCount() == 6; }, 60000));
    settle();
    EXPECT_FALSE(findItem(QStringLiteral("overlay")));
}

TEST_F(Window, ClosingAsksFirstNoKeepsEverythingYesQuits)
{
    open(sample::twoChannels);
    QObject *question = window->findChild<QObject *>(QStringLiteral("quitDialog"));
    ASSERT_TRUE(question);
    window->close();
    settle();
    ASSERT_TRUE(question->property("visible").toBool());
    EXPECT_TRUE(model().notifications()->isAlerting());
    click(QStringLiteral("quitNo"));
    settle();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(model().notifications()->isAlerting());
    EXPECT_FALSE(question->property("visible").toBool());
    EXPECT_TRUE(workingCopiesExist());
    EXPECT_EQ(model().nowPlaying()->videoPlayers().size(), 2);

    window->close();
    settle();
    click(QStringLiteral("quitYes"));
    EXPECT_TRUE(waitUntil([&] { return !window->isVisible(); }));
    EXPECT_FALSE(workingCopiesExist());
    EXPECT_FALSE(player().isPlaying());
}

} // namespace
} // namespace korvane::test
