// A recording the card cannot read whole, opened in the viewer: it offers what can be read,
// plays it, and says how much was lost.
#include "ext4image.h"
#include "modeltestsupport.h"
#include "qtprinters.h"
#include "samplerecordings.h"
#include "testfiles.h"

#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

using namespace korvane;
using korvane::test::CardModel;

namespace {

constexpr qint64 block = 4096;

QByteArray debugfsOnCard(const QString &image, const QString &request, bool write = false)
{
    QStringList arguments;
    if (write)
        arguments << QStringLiteral("-w");
    arguments << QStringLiteral("-R") << request << image + QStringLiteral("?offset=104857600");
    return korvane::test::run(QStringLiteral("/sbin/debugfs"), arguments).out;
}

} // namespace

TEST(DurnixSalvage, TheViewerPlaysWhatCanBeReadOfADamagedRecordingAndSaysHowMuchWasLost)
{
    QTemporaryDir tree, work;
    for (const char *folder :
         {"cfg", "mov/normal", "mov/event", "mov/park", "mov/manual", "mov/saved"})
        QDir().mkpath(tree.filePath(QLatin1String(folder)));
    korvane::test::writeFile(tree.filePath("cfg/bbox.ini"), "ch1_resol=3\nch2_resol=1\n");
    // An unfinished recording with two stretches the card never wrote (holes), so that its
    // blocks lie in three runs; the middle run is then made to point outside the card.
    const QByteArray recording =
        korvane::test::readFile(korvane::test::sampleRecording({"--seconds", "3", "--unfinished"}));
    ASSERT_GT(recording.size(), 64 * block);
    const qint64 firstHole = 16 * block, middle = 24 * block, secondHole = 40 * block,
                 rest = 48 * block;
    {
        QFile file(tree.filePath("mov/normal/N_20241005_143012.mov"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(recording.left(firstHole));
        file.seek(middle);
        file.write(recording.mid(middle, secondHole - middle));
        file.seek(rest);
        file.write(recording.mid(rest));
    }
    const QString image = work.filePath("card.img");
    korvane::test::writeExt4Card(tree.path(), image);
    const QString extents = QString::fromUtf8(
        debugfsOnCard(image, QStringLiteral("stat mov/normal/N_20241005_143012.mov")));
    const QStringList runs = extents.mid(extents.indexOf(QLatin1String("EXTENTS:")) + 9)
                                 .trimmed()
                                 .split(QStringLiteral(", "));
    const qsizetype second =
        runs.indexOf(QRegularExpression(QStringLiteral("\\(%1-.*").arg(middle / block)));
    ASSERT_GE(second, 0) << extents.toStdString();
    debugfsOnCard(image,
                  QStringLiteral("sif mov/normal/N_20241005_143012.mov block[%1] 4000000000")
                      .arg(5 + 3 * second),
                  true);

    CardModel viewer(image);
    AppViewModel &model = viewer.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    QCoro::waitFor(model.opener()->selectAt(viewer.row("N_20241005_143012.mov")));
    EXPECT_TRUE(model.nowPlaying()->videoPlayers().isEmpty());
    EXPECT_TRUE(model.opener()->salvageQuestion().contains("N_20241005_143012.mov"))
        << model.opener()->salvageQuestion().toStdString();

    model.opener()->answerSalvage(true);
    EXPECT_TRUE(model.opener()->salvageQuestion().isEmpty());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !model.library()->isSelecting() && !model.notifications()->procMessage(); },
        60000));
    EXPECT_EQ(model.nowPlaying()->videoPlayers().size(), 2) << "what could be read plays";
    EXPECT_EQ(model.notifications()->alertMessage(),
              QStringLiteral("영상 %1 MB 중 %2 MB를 읽지 못해 그 부분은 비워 두었습니다.")
                  .arg(static_cast<double>(recording.size()) / 1e6, 0, 'f', 1)
                  .arg(static_cast<double>(secondHole - middle) / 1e6, 0, 'f', 1));

    // Asked and declined: nothing is opened.
    model.notifications()->closeAlert();
    QCoro::waitFor(model.opener()->selectAt(viewer.row("N_20241005_143012.mov")));
    ASSERT_FALSE(model.opener()->salvageQuestion().isEmpty());
    model.opener()->answerSalvage(false);
    EXPECT_TRUE(model.opener()->salvageQuestion().isEmpty());
    EXPECT_FALSE(model.library()->isSelecting());
}
