// Evidence clips from the drive strip: marks put in two recordings of a drive make one clip of
// the span between them, on recordings ffmpeg's segment muxer cut, on an mke2fs card.
#include "modeltestsupport.h"
#include "picturematch.h"
#include "playbacktestsupport.h"
#include "segmentedtrip.h"
#include "testfiles.h"

#include <QCoroTask>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace korvane;
using korvane::test::CardModel;

namespace {

QDateTime moment(const char *text)
{
    return *driveTimeFromText(QString::fromLatin1(text));
}

// Plays the drive from `at`, paused there.
void pausedAt(CardModel &card, const char *at)
{
    AppViewModel &model = card.model();
    ASSERT_TRUE(QCoro::waitFor(model.timeline()->playMoment(moment(at)))) << at;
    card.waitUntilOpened();
    MultiTrackPlayer &player = *model.playerManager();
    player.pause();
    ASSERT_TRUE(korvane::test::waitUntilSettled(player));
}

// The recordings' pictures of the first camera, one after the other, as ffmpeg decodes them.
QList<QByteArray> tripPictures(const QStringList &pieces)
{
    QList<QByteArray> pictures;
    for (const QString &piece : pieces)
        pictures += korvane::test::lumaThumbnails(piece, 0);
    return pictures;
}

// Whether `shown` is one run of consecutive pictures: each once, in order, none left out.
bool consecutive(const QList<int> &shown)
{
    for (qsizetype i = 1; i < shown.size(); ++i) {
        if (shown[i] != shown[i - 1] + 1)
            return false;
    }
    return !shown.isEmpty();
}

TEST(EvidenceFromTheDrive, MarksInTwoRecordingsMakeOneClipOfTheSpanBetweenThem)
{
    QTemporaryDir work;
    // 14:30:00, 14:30:04 and 14:30:08, four seconds each.
    const QStringList pieces = korvane::test::writeSegmentedCard(work, 12, 4);
    ASSERT_EQ(pieces.size(), 3);
    CardModel card(work.filePath(QStringLiteral("card.img")));
    AppViewModel &model = card.model();
    card.loadCard();
    QCoro::waitFor(model.timeline()->findDrivesAgain());
    ASSERT_EQ(model.timeline()->drives().size(), 1);
    Clips &clips = *model.clips();
    clips.setClipLayout(QStringLiteral("tracks"));
    clips.setClipCaption(false);
    clips.setClipReport(false);

    pausedAt(card, "2024-10-05 14:30:02");
    clips.markClipStart();
    const double from = model.playerManager()->currentTime(); // the first recording starts the trip
    // The drive plays on into the third recording: the start mark stays, two recordings back.
    pausedAt(card, "2024-10-05 14:30:09");
    EXPECT_EQ(model.nowPlaying()->openRecording()->name, QFileInfo(pieces[2]).fileName());
    ASSERT_TRUE(clips.hasClipFrom());
    EXPECT_NEAR(clips.clipFrom(), from - 8, 0.05);
    clips.markClipEnd();
    const double to = 8 + model.playerManager()->currentTime();
    ASSERT_TRUE(clips.canExportClip());
    EXPECT_EQ(clips.clipSpanText(), QStringLiteral("14:30:02 – 14:30:09"));

    QTemporaryDir saved;
    const ClipResult tracks = QCoro::waitFor(clips.exportClipInto(saved.path()));
    ASSERT_EQ(tracks.outcome, ClipResult::Outcome::saved) << tracks.detail.toStdString();
    EXPECT_EQ(QFileInfo(tracks.path).fileName(),
              QStringLiteral("N_20241005_143000_clip_143002-143009.mp4"));
    // Every picture from the start mark to the end mark once, in order, across both joins.
    const QList<QByteArray> recorded = tripPictures(pieces);
    const QList<int> shown =
        korvane::test::likestPictures(korvane::test::lumaThumbnails(tracks.path, 0), recorded);
    EXPECT_TRUE(consecutive(shown)) << QDebug::toString(shown).toStdString();
    EXPECT_NEAR(shown.value(0), from * 30, 1.5);
    EXPECT_NEAR(shown.value(shown.size() - 1), to * 30 - 1, 1.5);
    EXPECT_EQ(korvane::test::ffprobeStreams(tracks.path, QStringLiteral("codec_type")),
              QStringList({"video", "video", "audio"}));

    // Every camera in one picture, with the report: the same pictures, and a page naming the
    // three recordings with their hashes.
    clips.setClipLayout(QStringLiteral("grid"));
    clips.setClipReport(true);
    const ClipResult grid = QCoro::waitFor(clips.exportClipInto(saved.path()));
    ASSERT_EQ(grid.outcome, ClipResult::Outcome::saved) << grid.detail.toStdString();
    EXPECT_EQ(korvane::test::ffprobeStreams(grid.path, QStringLiteral("codec_name,width,height")),
              QStringList({"h264,640,240", "aac"}));
    const QList<int> composed = korvane::test::likestPictures(
        korvane::test::lumaThumbnails(grid.path, 0, QStringLiteral("crop=320:240:0:0")), recorded);
    EXPECT_EQ(composed, shown) << composed.size() << " " << shown.size() << " "
                               << composed.value(composed.size() - 1) << " "
                               << shown.value(shown.size() - 1);
    const QString report = QString::fromUtf8(korvane::test::readFile(grid.detail));
    for (const QString &piece : pieces) {
        const QString sum = QString::fromLatin1(
            korvane::test::run(QStringLiteral("sha256sum"), {piece}).out.left(64));
        EXPECT_TRUE(report.contains(
            QStringLiteral("data-file=\"%1\">%2<").arg(QFileInfo(piece).fileName(), sum)))
            << piece.toStdString();
    }
    EXPECT_EQ(model.notifications()->savedMessage(),
              QStringLiteral("증거 영상 %1 과(와) 보고서 %2 를 %3에 저장했습니다.")
                  .arg(QFileInfo(grid.path).fileName(), QFileInfo(grid.detail).fileName(),
                       SaveFolders::shownPath(saved.path())));
}

} // namespace
