// The window answering the keys a driver expects of it.
#include "windowtestsupport.h"

#include "playbacktestsupport.h"
#include "samplerecordings.h"

#include <QDesktopServices>
#include <QDir>
#include <QMimeData>
#include <QRegularExpression>
#include <QTest>

namespace korvane::test {
namespace {

using Ux = WindowTest;

// Stands in for the desktop's file manager: what the viewer asked it to show.
class FileManager : public QObject
{
    Q_OBJECT
public:
    FileManager() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "show"); }
    ~FileManager() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QList<QUrl> shown;
public slots:
    void show(const QUrl &url) { shown.append(url); }
};

QString shownText(QQuickItem *label)
{
    return label ? label->property("text").toString() : QString();
}

TEST_F(Ux, TheQuitQuestionTakesEnterForYesAndEscapeForNo)
{
    open(sample::twoChannels);
    QObject *question = window->findChild<QObject *>(QStringLiteral("quitDialog"));
    ASSERT_TRUE(question);

    window->close();
    settle();
    ASSERT_TRUE(question->property("visible").toBool());
    key(Qt::Key_Escape);
    settle();
    EXPECT_FALSE(question->property("visible").toBool()) << "Escape is the safe answer: stay";
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(model().notifications()->isAlerting());
    EXPECT_EQ(model().nowPlaying()->videoPlayers().size(), 2);

    // Escape with no question up leaves the window as it is.
    key(Qt::Key_Escape);
    settle();
    EXPECT_TRUE(window->isVisible());

    window->close();
    settle();
    ASSERT_TRUE(question->property("visible").toBool());
    key(Qt::Key_Return);
    EXPECT_TRUE(waitUntil([&] { return !window->isVisible(); })) << "Enter answers the default";
}

TEST_F(Ux, ASnapshotGoesIntoTheFolderShownANewFolderCanBeMadeAndTheMessageSaysWhere)
{
    const QString pictures = userFolder(QStringLiteral("Pictures"));
    ASSERT_TRUE(QDir(pictures).mkpath(QStringLiteral("older/inside")));
    open(sample::twoChannels);
    player().pause();

    click(QStringLiteral("snapshot"));
    ASSERT_TRUE(waitUntil([&] { return findItem(QStringLiteral("folderShown")); }));
    EXPECT_EQ(shownText(item(QStringLiteral("folderShown"))), pictures)
        << "snapshots start in the user's Pictures";
    // Into a subfolder and back: the folder shown follows, nothing is chosen by a click.
    click(QStringLiteral("subfolder:older"));
    EXPECT_EQ(shownText(item(QStringLiteral("folderShown"))), pictures + QStringLiteral("/older"));
    click(QStringLiteral("subfolder:inside"));
    click(QStringLiteral("folderUp"));
    EXPECT_EQ(shownText(item(QStringLiteral("folderShown"))), pictures + QStringLiteral("/older"));
    key(Qt::Key_Backspace);
    EXPECT_EQ(shownText(item(QStringLiteral("folderShown"))), pictures);

    // A name that is taken is said so, and Enter then does not choose the folder shown.
    click(QStringLiteral("newFolder"));
    QQuickItem *name = item(QStringLiteral("newFolderName"));
    ASSERT_TRUE(name);
    EXPECT_TRUE(name->hasActiveFocus());
    const auto type = [&](const QByteArray &text) {
        for (const char c : text)
            QTest::keyClick(window, c);
    };
    type("older");
    key(Qt::Key_Return);
    EXPECT_TRUE(findItem(QStringLiteral("folderProblem")));
    EXPECT_EQ(shownText(item(QStringLiteral("folderShown"))), pictures);
    EXPECT_TRUE(name->hasActiveFocus());
    // A new folder, made and entered; empty, and still the one chosen.
    type("dashcam");
    key(Qt::Key_Return);
    const QString chosen = pictures + QStringLiteral("/dashcam");
    EXPECT_EQ(shownText(item(QStringLiteral("folderShown"))), chosen);
    EXPECT_TRUE(QFileInfo(chosen).isDir());
    key(Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return model().notifications()->savedMessage().has_value(); }));
    settle();

    const QStringList files = QDir(chosen).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 2) << model().notifications()->savedMessage()->toStdString();
    const QRegularExpression named(
        QStringLiteral("^Capture_N_20241005_143012_\\d{8}_\\d{6}-\\d{6}-ch[12]\\.jpg$"));
    for (const QString &file : files)
        EXPECT_TRUE(named.match(file).hasMatch())
            << "without the recording's extension: " << file.toStdString();
    EXPECT_TRUE(QDir(pictures).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(QDir(pictures + QStringLiteral("/older")).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(shownText(item(QStringLiteral("overlay/overlayMessage"))),
              QStringLiteral("2개 파일을 %1에 저장했습니다.").arg(SaveFolders::shownPath(chosen)));

    // The folder opens in the desktop's file manager.
    {
        FileManager fileManager;
        click(QStringLiteral("overlay/overlaySecondButton"));
        EXPECT_EQ(fileManager.shown, QList<QUrl>{QUrl::fromLocalFile(chosen)});
    }
    EXPECT_FALSE(findItem(QStringLiteral("overlay")));

    // The next snapshot starts where this one went; Escape saves nothing.
    click(QStringLiteral("snapshot"));
    ASSERT_TRUE(waitUntil([&] { return findItem(QStringLiteral("folderShown")); }));
    EXPECT_EQ(shownText(item(QStringLiteral("folderShown"))), chosen);
    key(Qt::Key_Escape);
    EXPECT_FALSE(findItem(QStringLiteral("folderShown")));
    EXPECT_EQ(QDir(chosen).entryList(QDir::Files).size(), 2);
    EXPECT_FALSE(findItem(QStringLiteral("overlay")));

    // Enter saves where the chooser starts; the message closes with Escape.
    click(QStringLiteral("snapshot"));
    ASSERT_TRUE(waitUntil([&] { return findItem(QStringLiteral("folderShown")); }));
    key(Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return model().notifications()->savedMessage().has_value(); }));
    settle();
    EXPECT_EQ(QDir(chosen).entryList(QDir::Files).size(), 4);
    key(Qt::Key_Escape);
    EXPECT_FALSE(findItem(QStringLiteral("overlay")));
    EXPECT_FALSE(model().notifications()->savedMessage().has_value());
}

TEST_F(Ux, WithoutACardRecordingsOnTheComputerOpenFromTheCoverByKeysAndByDropping)
{
    const QString videos = userFolder(QStringLiteral("Videos"));
    const QString kept = videos + QStringLiteral("/N_20241005_150000.mp4");
    const QString dropped = videos + QStringLiteral("/E_20241005_151000.mp4");
    ASSERT_TRUE(QFile::copy(sampleRecording({"--channels", "2", "--seconds", "3"}), kept));
    ASSERT_TRUE(QFile::copy(sampleRecording({"--channels", "2", "--seconds", "3"}), dropped));

    removeCard();
    settle();
    EXPECT_EQ(shownText(item(QStringLiteral("overlay/overlayTitle"))),
              u"SD 카드를 인식하지 못하였습니다.");
    QObject *dialog = window->findChild<QObject *>(QStringLiteral("openDialog"));
    ASSERT_TRUE(dialog);
    click(QStringLiteral("overlay/overlayButton"));
    ASSERT_TRUE(waitUntil([&] { return dialog->property("visible").toBool(); }));
    EXPECT_EQ(dialog->property("currentFolder").toUrl(), QUrl::fromLocalFile(videos));
    QMetaObject::invokeMethod(dialog, "reject");
    settle();

    // Ctrl+O with the cover up; the file picked opens the player, which plays it.
    key(Qt::Key_O, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return dialog->property("visible").toBool(); }));
    QQuickItem *file = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        for (int i = 0; i < 4 && !file; ++i) {
            QQuickItem *entry = findItem(QStringLiteral("fileDialogDelegate%1").arg(i));
            if (entry && entry->property("fileName").toString() == QFileInfo(kept).fileName())
                file = entry;
        }
        return file != nullptr;
    }));
    click(file);
    key(Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return model().library()->filtered().size() == 1; }));
    settle();
    EXPECT_FALSE(findItem(QStringLiteral("overlay"))) << "the no-card cover gave way";
    open(QStringLiteral("N_20241005_150000.mp4"));
    EXPECT_EQ(model().nowPlaying()->videoPlayers().size(), 2);

    // A recording dropped onto the window is listed in place of the one picked before.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(dropped)});
    const QPoint centre(window->width() / 2, window->height() / 2);
    QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QDropEvent drop(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    ASSERT_TRUE(waitUntil([&] {
        return model().library()->filtered().size() == 1 &&
               model().library()->filtered()[0].name == u"E_20241005_151000.mp4";
    }));
    open(QStringLiteral("E_20241005_151000.mp4"));
    EXPECT_TRUE(player().isPlaying());
}

TEST_F(Ux, PausedTheReadoutTellsEachPictureApartTheClipMarksShowTheirTimesAndADragShowsThePicture)
{
    open(sample::twoChannels);
    // Every button of the bars is inside the window, the last ones too.
    for (const char *name : {"next", "mirror5", "clipExport"}) {
        QQuickItem *button = item(QString::fromLatin1(name));
        ASSERT_TRUE(button);
        EXPECT_LE(button->mapToScene({button->width(), 0}).x(), window->width()) << name;
    }
    ChannelPlayer *first = model().nowPlaying()->videoPlayers()[0];
    key(Qt::Key_Space);
    ASSERT_TRUE(waitUntil([&] { return !player().isPlaying() && player().isSettled(); }));
    QQuickItem *readout = item(QStringLiteral("currentTime"));
    QStringList shown{shownText(readout)};
    for (int step = 0; step < 4; ++step) {
        const std::optional<double> before = first->currentFrameTime();
        key(Qt::Key_Period);
        ASSERT_TRUE(waitUntil([&] { return first->currentFrameTime() != before; }));
        settle();
        shown.append(shownText(readout));
        EXPECT_NE(shown[shown.size() - 1], shown[shown.size() - 2])
            << "a picture step shows in the readout";
        EXPECT_EQ(shown.back(), NowPlaying::clockText(first->currentFrameTime().value_or(-1),
                                                      NowPlaying::Precision::hundredths))
            << "the time of the picture on screen";
    }
    const QRegularExpression hundredths(QStringLiteral("^00:00:\\d\\d\\.\\d\\d$"));
    for (const QString &text : shown)
        EXPECT_TRUE(hundredths.match(text).hasMatch()) << text.toStdString();

    // The clip's marks, with their times.
    player().seek(2.0 / player().duration());
    ASSERT_TRUE(waitUntil([&] { return first->currentFrameTime() == 2.0; }));
    key(Qt::Key_I);
    player().seek(4.5 / player().duration());
    ASSERT_TRUE(waitUntil([&] { return first->currentFrameTime() == 4.5; }));
    key(Qt::Key_O);
    settle();
    // The marks' times shown, every button is still inside the window.
    for (const char *name : {"mirror5", "clipExport", "clipReport"}) {
        QQuickItem *button = item(QString::fromLatin1(name));
        ASSERT_TRUE(button);
        EXPECT_LE(button->mapToScene({button->width(), 0}).x(), window->width()) << name;
    }
    EXPECT_EQ(shownText(item(QStringLiteral("clipSpanTimes"))), u"00:00:02.00 – 00:00:04.50");

    // The handle held and dragged: the pictures follow before it is let go.
    QQuickItem *bar = item(QStringLiteral("seekBar"));
    const auto at = [&](double fraction) {
        const double left = bar->property("leftPadding").toDouble();
        const double groove = bar->property("availableWidth").toDouble();
        return bar->mapToScene({left + fraction * groove, bar->height() / 2}).toPoint();
    };
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, at(0.2));
    for (double fraction = 0.25; fraction <= 0.751; fraction += 0.05)
        QTest::mouseMove(window, at(fraction));
    const double target = 0.75 * player().duration();
    EXPECT_TRUE(waitUntil([&] {
        return first->currentFrameTime() && std::abs(*first->currentFrameTime() - target) < 0.2;
    })) << "still at "
        << first->currentFrameTime().value_or(-1);
    EXPECT_TRUE(bar->property("pressed").toBool()) << "the handle is still held";
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, at(0.75));
    settle();
    EXPECT_NEAR(player().currentTime(), target, 0.2);
}

class UxAt1366x768 : public WindowTest
{
};

TEST_F(UxAt1366x768, TheSettingsWindowFitsWithItsTitleBarAndEscapeOrCancelDropTheEdits)
{
    const QRect screen = window->screen()->availableGeometry();
    ASSERT_EQ(screen.size(), QSize(1366, 768));
    EXPECT_TRUE(screen.contains(window->geometry()));
    open(sample::twoChannels);
    const QByteArray before = [&] {
        QFile file(cardVolume() + QStringLiteral("/bbox.cfg"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();

    for (const QString &closer : {QStringLiteral("escape"), QStringLiteral("cancelSettings")}) {
        click(QStringLiteral("settings"));
        QQuickWindow *shown = nullptr;
        ASSERT_TRUE(
            waitUntil([&] { return (shown = findWindow(QStringLiteral("settingsWindow"))); }));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(shown));
        ASSERT_TRUE(QTest::qWaitForWindowActive(shown));
        settle();
        EXPECT_TRUE(screen.contains(shown->geometry())) << closer.toStdString();
        EXPECT_GE(shown->y() - screen.top(), 30) << "room above for the title bar";
        // The buttons below are inside the window; the settings scroll above them.
        QQuickItem *save = item(QStringLiteral("saveSettings"), shown);
        ASSERT_TRUE(save);
        EXPECT_LE(save->mapToScene({0, save->height()}).y(), shown->height());
        if (closer == u"escape")
            shown->grabWindow().save(QStringLiteral(SHOTS_DIR "/UxAt1366x768.SettingsWindow.png"));

        click(item(QStringLiteral("option:주차우선"), shown));
        if (closer == u"escape")
            QTest::keyClick(shown, Qt::Key_Escape);
        else
            click(item(closer, shown));
        ASSERT_TRUE(waitUntil([] { return !findWindow(QStringLiteral("settingsWindow")); }))
            << closer.toStdString();
        settle();
        EXPECT_FALSE(findItem(QStringLiteral("overlay"))) << "nothing was saved";
        QFile file(cardVolume() + QStringLiteral("/bbox.cfg"));
        EXPECT_EQ(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), before)
            << closer.toStdString();
    }
}

class UxAt1600x900 : public WindowTest
{
protected:
    // The pictures of the channels on screen, in channel order.
    QList<QRectF> pictures()
    {
        QList<QRectF> shown;
        for (int channel = 1; channel <= 5; ++channel) {
            QQuickItem *view = findItem(QStringLiteral("picture%1").arg(channel));
            if (!view)
                break;
            shown.append(view->mapRectToScene(view->property("pictureRect").toRectF()));
        }
        return shown;
    }
};

TEST_F(UxAt1600x900, FiveCamerasFillTheVideoAreaInAGridWithTheirLabelsOnThem)
{
    ASSERT_EQ(window->screen()->availableGeometry().size(), QSize(1600, 900));
    EXPECT_EQ(window->size(), QSize(1360, 765));
    showAll();
    open(sample::fiveChannels);
    player().pause();
    const QList<QRectF> beside = pictures();
    ASSERT_EQ(beside.size(), 5);
    // The fifth camera's window leaves the side panel's tabs and picture free.
    click(QStringLiteral("ch5"));
    QWindow *fifth = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (fifth = findWindow(QStringLiteral("popupWindow"))); }));
    QQuickItem *tabs = item(QStringLiteral("sideTabs"));
    const QRect tabsOnScreen(window->mapToGlobal(tabs->mapToScene({0, 0}).toPoint()),
                             QSize(static_cast<int>(tabs->width()),
                                   static_cast<int>(tabs->height() + tabs->width() * 9 / 16)));
    EXPECT_FALSE(fifth->geometry().intersects(tabsOnScreen));

    // The list and the side panel folded: the video takes the window's width.
    click(QStringLiteral("toggleList"));
    click(QStringLiteral("toggleSidePanel"));
    EXPECT_FALSE(findItem(QStringLiteral("fileList")));
    QQuickItem *area = item(QStringLiteral("videoArea"));
    EXPECT_EQ(area->width(), window->width());
    const QList<QRectF> alone = pictures();
    ASSERT_EQ(alone.size(), 5);
    const QRectF areaRect = area->mapRectToScene(QRectF(0, 0, area->width(), area->height()));
    for (int i = 0; i < 5; ++i) {
        EXPECT_GE(alone[i].width(), beside[i].width() * 1.3) << "channel " << i + 1;
        EXPECT_GE(alone[i].width(), 400) << "channel " << i + 1;
        EXPECT_TRUE(areaRect.contains(alone[i])) << "channel " << i + 1;
        for (int j = 0; j < i; ++j)
            EXPECT_FALSE(alone[i].intersects(alone[j].adjusted(1, 1, -1, -1))) << i << j;
        // The label sits on its picture's corner.
        QQuickItem *label = item(QStringLiteral("channelLabel%1").arg(i + 1));
        const QRectF labelRect =
            label->mapRectToScene(QRectF(0, 0, label->width(), label->height()));
        EXPECT_TRUE(alone[i].contains(labelRect)) << "channel " << i + 1;
        EXPECT_LE(alone[i].right() - labelRect.right(), 8) << "channel " << i + 1;
        EXPECT_LE(labelRect.top() - alone[i].top(), 8) << "channel " << i + 1;
    }
    // The pictures use the area: three of them side by side take most of its width.
    EXPECT_GE(alone[0].width() * 3, areaRect.width() * 0.95);

    click(QStringLiteral("toggleList"));
    EXPECT_TRUE(findItem(QStringLiteral("fileList")));
}

class UxAt1920x1080 : public WindowTest
{
};

TEST_F(UxAt1920x1080, TheWindowTakesMostOfALargeScreenAndFiveCamerasShowLarge)
{
    ASSERT_EQ(window->screen()->availableGeometry().size(), QSize(1920, 1080));
    EXPECT_EQ(window->size(), QSize(1632, 918));
    showAll();
    open(sample::fiveChannels);
    player().pause();
    for (int channel = 1; channel <= 5; ++channel) {
        QQuickItem *view = item(QStringLiteral("picture%1").arg(channel));
        ASSERT_TRUE(view);
        EXPECT_GE(view->property("pictureRect").toRectF().width(), 300) << "channel " << channel;
    }
}

} // namespace
} // namespace korvane::test

#include "ux_test.moc"
