#include "playbacktestsupport.h"
#include "samplerecordings.h"
#include "playback/snapshot.h"
#include "testfiles.h"

#include <QDir>
#include <QImage>
#include <QRegularExpression>

#include <cmath>

namespace korvane::test {
namespace {

constexpr double shownTime = 1.5;

QCoro::Task<QString> snapshotOrError(ChannelPlayer *player, const QString &name, int channel,
                                     const QString &folder, SnapshotError::Kind *kind = nullptr)
{
    try {
        co_return co_await saveVideoSnapshot(player, name, channel, QUrl::fromLocalFile(folder));
    } catch (const SnapshotError &error) {
        if (kind)
            *kind = error.kind();
        co_return QStringLiteral("error: ") + QString::fromUtf8(error.what());
    }
}

class Snapshots : public PlayerTest
{
protected:
    void SetUp() override
    {
        PlayerTest::SetUp();
        recording = sampleRecording({"--channels", "3", "--seconds", "2", "--ch1", "320x240@30",
                                     "--ch2", "160x120@30", "--ch3", "192x144@30"});
        load(recording);
        player->seek(shownTime / player->duration());
        ASSERT_TRUE(waitUntil([&] {
            for (ChannelPlayer *channel : player->videoPlayers()) {
                if (channel->currentFrameTime() != shownTime)
                    return false;
            }
            return true;
        }));
    }

    QString recording;
    QTemporaryDir folder;
};

TEST_F(Snapshots, EveryChannelGivesItsOwnUnfilteredPictureUnderItsName)
{
    player->setBrightness(0.0);
    player->setFlip(0, 3);
    ASSERT_TRUE(
        waitUntil([&] { return player->videoPlayers()[0]->currentFrameTime() == shownTime; }));
    const QString name = QFileInfo(recording).fileName();
    QCoro::waitFor(
        saveChannelSnapshots(player->videoPlayers(), name, QUrl::fromLocalFile(folder.path())));

    const QStringList files = QDir(folder.path()).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 3) << files.join(' ').toStdString();
    const QRegularExpression pattern(
        QStringLiteral("^Capture_%1_\\d{8}_\\d{6}-\\d{6}-ch(\\d)\\.jpg$")
            .arg(QRegularExpression::escape(name)));
    QStringList channels;
    for (const QString &file : files) {
        const auto match = pattern.match(file);
        ASSERT_TRUE(match.hasMatch()) << file.toStdString();
        channels << match.captured(1);
    }
    channels.sort();
    EXPECT_EQ(channels, QStringList({"1", "2", "3"}));

    const QStringList sizes{"320x240", "160x120", "192x144"};
    for (const QString &file : files) {
        const int channel = file.section(QStringLiteral("-ch"), -1).left(1).toInt();
        const QImage saved(QDir(folder.path()).filePath(file), "JPEG");
        ASSERT_FALSE(saved.isNull()) << file.toStdString();
        const QSize size = player->videoPlayers()[channel - 1]->frameSize();
        EXPECT_EQ(saved.size(), size);
        EXPECT_EQ(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()), sizes[channel - 1]);
        // The recording's own picture at the channel's time, not the darkened, turned one shown.
        const QImage reference =
            referencePicture(recording, channel - 1, static_cast<int>(shownTime * 30), size);
        ASSERT_FALSE(reference.isNull());
        // JPEG and two YUV-to-RGB conversions differ by a few values; a turned or darkened picture
        // differs by a hundred.
        EXPECT_LT(meanDifference(saved, reference), 8.0) << file.toStdString();
        EXPECT_GT(meanDifference(saved, reference.mirrored(true, true)), 40.0)
            << file.toStdString();
    }
}

TEST_F(Snapshots, TwoSnapshotsInOneSecondKeepBothFiles)
{
    ChannelPlayer *channel = player->videoPlayers()[1];
    const QString first = QCoro::waitFor(snapshotOrError(channel, "A.mp4", 2, folder.path()));
    const QString second = QCoro::waitFor(snapshotOrError(channel, "A.mp4", 2, folder.path()));
    ASSERT_FALSE(first.startsWith("error")) << first.toStdString();
    ASSERT_FALSE(second.startsWith("error")) << second.toStdString();
    EXPECT_NE(first, second);
    EXPECT_TRUE(QFileInfo(first).fileName().startsWith("Capture_A.mp4_"));
    EXPECT_TRUE(first.endsWith("-ch2.jpg"));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(Snapshots, FailuresNameTheirCauseAndTheLoopGoesOn)
{
    const QDateTime instant(QDate(2024, 1, 31), QTime(13, 5, 9));
    EXPECT_EQ(snapshotFileName("A.mp4", 2, instant, 42137),
              "Capture_A.mp4_20240131_130509-042137-ch2.jpg");

    SnapshotError::Kind kind{};
    const QString missingFolder = folder.filePath("gone");
    const QString unwritable = QCoro::waitFor(
        snapshotOrError(player->videoPlayers()[0], "A.mp4", 1, missingFolder, &kind));
    EXPECT_TRUE(unwritable.startsWith("error")) << unwritable.toStdString();
    EXPECT_EQ(kind, SnapshotError::Kind::writeFailed);

    // A channel of a recording that was replaced has no current item any more.
    ChannelPlayer *old = player->videoPlayers()[0];
    load(recording);
    const QString stale = QCoro::waitFor(snapshotOrError(old, "A.mp4", 1, folder.path(), &kind));
    EXPECT_TRUE(stale.startsWith("error")) << stale.toStdString();
    EXPECT_EQ(kind, SnapshotError::Kind::noCurrentItem);

    QCoro::waitFor(saveChannelSnapshots({old, player->videoPlayers()[2]}, "A.mp4",
                                        QUrl::fromLocalFile(folder.path())));
    EXPECT_EQ(QDir(folder.path()).entryList({"*-ch2.jpg"}, QDir::Files).size(), 1);
    EXPECT_TRUE(QDir(folder.path()).entryList({"*-ch1.jpg"}, QDir::Files).isEmpty());
}

} // namespace
} // namespace korvane::test
