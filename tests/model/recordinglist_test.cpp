// The recording list on a real card image: read through durnix, newest first, by tab, ticked,
// copied into the working folder in the background; picked files beside it.
#include "card/workingfolder.h"
#include "modeltestsupport.h"
#include "qtprinters.h"
#include "samplerecordings.h"
#include "services/workingcopy.h"
#include "services/workingfiles.h"
#include "testfiles.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <algorithm>

using namespace korvane;
using korvane::test::CardModel;

namespace {
QStringList names(const QList<FileListItem> &rows)
{
    QStringList list;
    for (const FileListItem &row : rows)
        list << row.type + QLatin1Char('/') + row.name;
    return list;
}
} // namespace

TEST(RecordingRows, DerivedTexts)
{
    FileListItem row{QUuid::createUuid(), "event", "E_20240131_130509.mov", 1234567, 0};
    EXPECT_EQ(row.dateText(), "2024/01/31 13:05:09");
    EXPECT_EQ(row.typeLabel(), "EVT");
    EXPECT_EQ(row.typeColor(), "red");
    EXPECT_TRUE(row.needsRebuild());
    // Kept on the card, the event is shown as kept; picked from the computer, as its name says.
    row.type = QStringLiteral("saved");
    EXPECT_EQ(row.typeLabel(), "KEEP");
    EXPECT_EQ(row.typeColor(), "blue");
    row.fromComputer = true;
    EXPECT_EQ(row.typeLabel(), "EVT");
    row.name = QStringLiteral("clip_2024013_130509.mp4");
    EXPECT_EQ(row.dateText(), "-");
    EXPECT_EQ(row.typeLabel(), "");
    EXPECT_EQ(typeFromPath(QStringLiteral("/home/u/P_20240131_130509.mp4")), "park");
    EXPECT_EQ(typeFromPath(QStringLiteral("/home/u/clip.mp4")), "saved");

    RecordingListModel list;
    list.setRows({row});
    EXPECT_FALSE(list.hasUnfinished());
    FileListItem unfinished = row;
    unfinished.name = QStringLiteral("N_20240131_130509.mov");
    list.setRows({unfinished, row});
    EXPECT_TRUE(list.hasUnfinished()) << "the list explains the \"*\" of the unfinished";
    list.setRows({row});
    EXPECT_FALSE(list.hasUnfinished());
    const QModelIndex first = list.index(0);
    EXPECT_EQ(list.data(first, RecordingListModel::SizeRole), "1.23 MB");
    EXPECT_EQ(list.data(first, RecordingListModel::DateRole), "-");
}

TEST(RecordingList, ReadsTheCardNewestFirstByTab)
{
    CardModel card(korvane::test::sampleCardImage({"--seconds", "1"}));
    AppViewModel &model = card.model();
    EXPECT_EQ(model.library()->currentType(), "normal");
    card.loadCard();
    EXPECT_EQ(names(model.library()->fileList()),
              QStringList({"manual/M_20241005_145012.mov", "normal/N_20241005_144012.mov",
                           "event/E_20241005_143512.mp4", "normal/N_20241005_143012.mp4",
                           "park/P_20241004_220000.mp4", "saved/E_20241003_081500.mp4"}));
    EXPECT_EQ(names(model.library()->filtered()),
              QStringList({"normal/N_20241005_144012.mov", "normal/N_20241005_143012.mp4"}));

    QSignalSpy reset(model.library()->filteredModel(), &QAbstractItemModel::modelReset);
    model.library()->selectTab(5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return reset.count() == 1; }, 10000));
    EXPECT_EQ(model.library()->filtered().size(), 6);
    model.library()->selectTab(5);
    // A filter runs on the pool and hands its rows over in a posted event: once the pool is idle
    // and what was posted is delivered, a reset it made would have come.
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return QThreadPool::globalInstance()->activeThreadCount() == 0; }, 10000));
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(reset.count(), 1) << "the tab already shown is not filtered again";

    // Ticking changes rows, not the list.
    QSignalSpy changed(model.library()->filteredModel(), &QAbstractItemModel::dataChanged);
    model.library()->setChecked(2, true);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.first()[0].toModelIndex().row(), 2);
    EXPECT_EQ(model.library()->checkedItems().size(), 1);
    model.library()->checkAll(true);
    EXPECT_EQ(model.library()->checkedItems().size(), 6);
    EXPECT_TRUE(model.library()->isAllChecked());
    EXPECT_EQ(reset.count(), 1);

    // Every row was copied in the background, each to its own size.
    for (const FileListItem &row : model.library()->fileList())
        EXPECT_EQ(row.read, row.size) << row.name.toStdString();
    model.library()->selectTab(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.library()->filtered().size() == 1; }, 10000));
    EXPECT_EQ(model.library()->filtered().first().read, model.library()->filtered().first().size);

    // A new card load sets the old copies aside at once and removes them on a worker.
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    EXPECT_TRUE(QDir(WorkingFolder::tempRoot() + "mov/normal").isEmpty());
    EXPECT_TRUE(QTest::qWaitFor(
        [] {
            return QDir(WorkingFolder::tempRoot())
                .entryList({".removed-*"}, QDir::AllEntries | QDir::Hidden)
                .isEmpty();
        },
        10000));

    // The list shows how far the copy of a row has come while it is copied, and nothing after.
    QMap<int, QList<double>> progress;
    QObject::connect(model.library()->filteredModel(), &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex &from, const QModelIndex &, const QList<int> &roles) {
                         if (roles.contains(RecordingListModel::CopyProgressRole))
                             progress[from.row()].append(
                                 from.data(RecordingListModel::CopyProgressRole).toDouble());
                     });
    model.library()->startLoading();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.library()->isLoading(); }, 60000));
    ASSERT_EQ(progress.size(), model.library()->filtered().size()) << "every row shown was copied";
    for (const QList<double> &shares : std::as_const(progress)) {
        ASSERT_GE(shares.size(), 2);
        EXPECT_EQ(shares.first(), 0.0);
        EXPECT_EQ(shares.last(), -1.0);
        EXPECT_TRUE(std::is_sorted(shares.cbegin(), shares.cend() - 1)) << "never backwards";
    }
}

// How far a copy from the card has come: durnix writes a hidden file beside the copy and renames
// it into place whole.
// Nothing readable on the card: the user is told why instead of seeing an empty list.
TEST(RecordingList, ACardOfWhichNothingCanBeReadSaysWhy)
{
    QTemporaryDir folder;
    const QString image = folder.filePath(QStringLiteral("blank.img"));
    QFile blank(image);
    ASSERT_TRUE(blank.open(QIODevice::WriteOnly));
    ASSERT_TRUE(blank.resize(110 << 20));
    blank.close();
    CardModel card(image);
    card.loadCard();
    EXPECT_TRUE(card.model().library()->fileList().isEmpty());
    ASSERT_TRUE(card.model().notifications()->alertMessage().has_value());
    EXPECT_TRUE(card.model().notifications()->alertMessage()->startsWith(
        QStringLiteral("SD 카드를 읽지 못했습니다.")));
    EXPECT_TRUE(card.model().notifications()->alertMessage()->contains(
        QStringLiteral("not an ext4 file system")))
        << card.model().notifications()->alertMessage()->toStdString();
}

TEST(RecordingList, ACopyUnderWayIsMeasuredByDurnixsPartialFile)
{
    QTemporaryDir folder;
    const QString copy = folder.filePath(QStringLiteral("N_20241005_143012.mp4"));
    EXPECT_EQ(copiedBytes(copy), 0);
    QFile partial(folder.filePath(QStringLiteral(".durnix-a1B2c3")));
    ASSERT_TRUE(partial.open(QIODevice::WriteOnly));
    partial.write(QByteArray(1000, 'x'));
    partial.flush();
    EXPECT_EQ(copiedBytes(copy), 1000);
    partial.close();
    ASSERT_TRUE(partial.rename(copy));
    EXPECT_EQ(copiedBytes(copy), 1000);
}

// Background copying stops before the working folder's disk gets full.
TEST(RecordingList, CopyingLeavesRoomOnTheDisk)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    CardModel card(korvane::test::sampleCardImage({"--seconds", "1"}));
    const QString working = WorkingFolder::tempRoot();
    QDir().mkpath(working);
    ASSERT_EQ(korvane::test::run(QStringLiteral("mount"),
                                 {"-t", "tmpfs", "-o", "size=64m,mode=0700", "none", working})
                  .exitCode,
              0);
    card.loadCard();
    EXPECT_EQ(card.model().library()->fileList().size(), 6) << "the list itself still loads";
    for (const FileListItem &row : card.model().library()->fileList())
        EXPECT_EQ(row.read, 0) << row.name.toStdString();
    EXPECT_FALSE(card.model().library()->isLoading());
    korvane::test::run(QStringLiteral("umount"), {working});
}

TEST(RecordingList, PickedFilesAreListedApartFromTheCard)
{
    CardModel card(korvane::test::sampleCardImage({"--seconds", "1"}));
    AppViewModel &model = card.model();
    card.loadCard();
    const QString picked =
        korvane::test::sampleRecording({"--channels", "1", "--seconds", "1", "--type", "park"});
    QTemporaryDir elsewhere;
    const QString plain = elsewhere.filePath(QStringLiteral("clip.mp4"));
    korvane::test::writeFile(plain, "not much");
    QCoro::waitFor(
        model.library()->openLocalFiles({QUrl::fromLocalFile(plain), QUrl::fromLocalFile(picked)}));
    EXPECT_TRUE(model.library()->uploaded());
    EXPECT_EQ(model.library()->selectedTab(), -1);
    EXPECT_EQ(model.library()->currentType(), "normal");
    ASSERT_EQ(names(model.library()->filtered()),
              QStringList({"park/P_20241005_143012.mp4", "saved/clip.mp4"}));
    EXPECT_EQ(model.library()->filtered().last().read, 8);
    EXPECT_EQ(model.library()->fileList().size(), 6) << "the card's list stays";
}

// Opening a recording stops the background copying before its next row and starts it again
// afterwards; every row ends copied whole, and nothing half-written is left.
TEST(RecordingList, AnOpenPausesTheCopying)
{
    CardModel card(korvane::test::sampleCardImage({"--seconds", "1"}));
    AppViewModel &model = card.model();
    QCoro::waitFor(model.library()->reloadList());
    ASSERT_TRUE(model.library()->isLoading());
    model.opener()->open(static_cast<int>(card.row("N_20241005_143012.mp4")));
    EXPECT_FALSE(model.library()->isLoading()) << "the open called the copying off";
    card.waitUntilOpened();
    // A one-second recording may end, and its end open the next, before the copying is done:
    // each open pauses the copying again, so the end is when nothing opens or copies any more.
    const auto allCopied = [&] {
        return std::ranges::all_of(model.library()->fileList(),
                                   [](const FileListItem &row) { return row.read == row.size; });
    };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return !model.library()->isLoading() && !model.library()->isSelecting() && allCopied();
        },
        60000));
    for (const FileListItem &row : model.library()->fileList()) {
        const QFileInfo copy(localCopy(row));
        EXPECT_EQ(copy.size(), row.size) << row.name.toStdString();
        EXPECT_EQ(QDir(copy.path())
                      .entryList(QDir::Hidden | QDir::Files | QDir::NoDotAndDotDot)
                      .filter(QStringLiteral(".durnix-")),
                  QStringList())
            << "no copy left half-written";
    }
}
