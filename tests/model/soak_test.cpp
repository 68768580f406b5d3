// A day of footage on one viewer: recording after recording opened, sought, snapshotted and cut,
// the card taken out and put back. Whatever an open takes (players, files, pipes, bus sockets)
// it gives back: after a warm-up, the open descriptors stay where they were.
#include "modeltestsupport.h"
#include "playback/snapshot.h"
#include "samplerecordings.h"

#include <QCoroTask>
#include <QDir>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <filesystem>

using namespace korvane;
using korvane::test::CardModel;

namespace {

// The process's open descriptors by what they are: "socket", "pipe", a file's path, ...
QStringList openDescriptors()
{
    QStringList kinds;
    std::error_code error;
    for (const auto &fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        // The listing's own descriptor is gone once listed.
        const std::filesystem::path target = std::filesystem::read_symlink(fd.path(), error);
        if (!error)
            kinds.append(QString::fromStdString(target.string()).section(QLatin1Char(':'), 0, 0));
    }
    kinds.sort();
    return kinds;
}

// The shared worker threads each hold a descriptor of their own and come and go with the work:
// all of them are started here, and kept. (Waiting for the pool to be done would end them.)
void startEveryWorker()
{
    QThreadPool &pool = *QThreadPool::globalInstance();
    pool.setExpiryTimeout(-1);
    const int count = pool.maxThreadCount();
    QSemaphore started;
    QSemaphore release;
    for (int i = 0; i < count; ++i) {
        pool.start([&] {
            started.release();
            release.acquire();
        });
    }
    started.acquire(count);
    release.release(count);
    EXPECT_TRUE(QTest::qWaitFor([&] { return pool.activeThreadCount() == 0; }, 10000));
}

} // namespace

TEST(Soak, ThirtyOpensAndTwoCardInsertionsGiveBackTheirDescriptors)
{
    const QString image = korvane::test::sampleCardImage({"--seconds", "2"});
    CardModel card(image);
    AppViewModel &model = card.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    QTemporaryDir saved;
    startEveryWorker();
    // A finished recording and one a power loss left unfinished, rebuilt at every open.
    const QString names[] = {QStringLiteral("N_20241005_143012.mp4"),
                             QStringLiteral("N_20241005_144012.mov")};
    int clips = 0;
    const auto open = [&](int i) {
        const QString &name = names[i % 2];
        QCoro::waitFor(model.opener()->selectAt(card.row(name)));
        card.waitUntilOpened();
        ASSERT_EQ(model.nowPlaying()->videoPlayers().size(), 2) << "open " << i;
        model.playerManager()->seek(0.5);
        if (i % 5 == 0) {
            QCoro::waitFor(saveChannelSnapshots(model.nowPlaying()->videoPlayers(), name,
                                                QUrl::fromLocalFile(saved.path())));
        }
        if (i % 10 == 0) {
            model.playerManager()->seek(0.1);
            model.clips()->markClipStart();
            model.playerManager()->seek(0.9);
            model.clips()->markClipEnd();
            const ClipResult clip = QCoro::waitFor(model.clips()->exportClipInto(saved.path()));
            EXPECT_EQ(clip.outcome, ClipResult::Outcome::saved) << clip.detail.toStdString();
            ++clips;
        }
    };

    open(0);
    open(1);
    clips = 0;
    const QStringList warm = openDescriptors();
    for (int i = 2; i < 32; ++i)
        open(i);
    EXPECT_EQ(openDescriptors(), warm) << "after 30 opens";
    EXPECT_EQ(clips, 3);
    EXPECT_EQ(QDir(saved.path()).entryList({QStringLiteral("*.jpg")}).size(), 7 * 2)
        << "every snapshot written";
    EXPECT_EQ(QDir(saved.path()).entryList({QStringLiteral("*.mp4")}).size(), 4);

    for (int insertion = 0; insertion < 2; ++insertion) {
        model.session()->cardDetached();
        EXPECT_TRUE(model.nowPlaying()->videoPlayers().isEmpty());
        model.session()->cardAttached(image);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return model.library()->filtered().size() == 2; }, 60000));
        open(insertion);
    }
    EXPECT_EQ(openDescriptors(), warm) << "after the card was taken out and put back";
}
