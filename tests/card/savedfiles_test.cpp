// Files saved into the user's folders: the names a card's recordings get there, and that a
// saved file never takes the place of one that is there.
#include "qtprinters.h"
#include "card/savedfiles.h"
#include "testfiles.h"

#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace korvane;
using korvane::test::readFile;
using korvane::test::writeFile;

namespace {

// Bytes the file takes on its disk, holes not counted.
qint64 allocatedBytes(const QString &path)
{
    struct stat st
    {
    };
    return stat(QFile::encodeName(path).constData(), &st) == 0 ? qint64{st.st_blocks} * 512 : -1;
}

// A file of `size` bytes with `data` at its start and at `at`, holes in between.
void writeSparse(const QString &path, qint64 size, const QByteArray &data, qint64 at)
{
    const int fd = open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, data.constData(), static_cast<size_t>(data.size()), 0), data.size());
    ASSERT_EQ(pwrite(fd, data.constData(), static_cast<size_t>(data.size()), at), data.size());
    ASSERT_EQ(ftruncate(fd, size), 0);
    close(fd);
}

} // namespace

TEST(TrustSavedNames, TheCardsOwnNameWithOnlyWhatTheFolderCannotHoldReplaced)
{
    EXPECT_EQ(savedFileName(QStringLiteral("E_20241005_150102\\040with\\040spaces.mp4")),
              QStringLiteral("E_20241005_150102 with spaces.mp4"))
        << "the listing's escapes are undone";
    EXPECT_EQ(savedFileName(QStringLiteral("\\353\\270\\224\\353\\236\\231.mp4")),
              QStringLiteral("블랙.mp4"));
    EXPECT_EQ(savedFileName(QStringLiteral("블랙박스 녹화.mp4")),
              QStringLiteral("블랙박스 녹화.mp4"));
    EXPECT_EQ(savedFileName(QStringLiteral(".bashrc")), QStringLiteral("_bashrc"))
        << "no card hides a file among the user's";
    EXPECT_EQ(savedFileName(QStringLiteral("..\\056")), QStringLiteral("_.."));
    EXPECT_EQ(savedFileName(QStringLiteral("a\\057..\\057b.mp4")), QStringLiteral("a_.._b.mp4"))
        << "a slash never leads into another folder";
    EXPECT_EQ(savedFileName(QStringLiteral("esc\\033[2J\\015\\012.mp4")),
              QStringLiteral("esc_[2J__.mp4"));
    EXPECT_EQ(savedFileName(QStringLiteral("bad\\377utf8\\353\\270.mp4")),
              QStringLiteral("bad_utf8__.mp4"))
        << "bytes that are no UTF-8, a character cut short among them";
    EXPECT_EQ(savedFileName(QStringLiteral("back\\134slash a:b?.mp4")),
              QStringLiteral("back\\slash a:b?.mp4"));
    EXPECT_EQ(savedFileName(QStringLiteral("back\\134slash a:b?.mp4"), QStringLiteral("vfat")),
              QStringLiteral("back_slash a_b_.mp4"))
        << "what FAT cannot hold";
    EXPECT_EQ(savedFileName(QString()), QStringLiteral("recording"));

    // The longest name a card can hold, and a suffix added to it, within 255 bytes and never
    // cutting a character.
    const QString korean = QString(84, QChar(0xb179)) + QStringLiteral(".mp4"); // 256 bytes
    for (const QString &name : {savedFileName(korean), suffixedFileName(korean, "_2"),
                                suffixedFileName(savedFileName(korean), "_CH1", 200)}) {
        EXPECT_LE(name.toUtf8().size(), 255) << name.toStdString();
        EXPECT_TRUE(name.endsWith(QLatin1String(".mp4"))) << name.toStdString();
        EXPECT_EQ(QString::fromUtf8(name.toUtf8()), name);
    }
    EXPECT_EQ(suffixedFileName(korean, "_2").right(6), QStringLiteral("_2.mp4"));
    EXPECT_EQ(suffixedFileName(QStringLiteral("_bashrc"), "_2"), QStringLiteral("_bashrc_2"));
}

TEST(TrustSavedFiles, ATakenNameGivesWayAndNothingThereIsReplaced)
{
    QTemporaryDir work, folder;
    const QString wanted = folder.filePath(QStringLiteral("N.mp4"));
    writeFile(wanted, "the user's own");
    writeFile(folder.filePath(QStringLiteral("N_2.mp4")), "the user's second");
    // A link at the next name leads to a file of the user's: it is a taken name, not a way.
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath(QStringLiteral("victim"));
    writeFile(victim, "untouched");
    ASSERT_TRUE(QFile::link(victim, folder.filePath(QStringLiteral("N_3.mp4"))));
    ASSERT_TRUE(QFile::link(elsewhere.filePath(QStringLiteral("absent")),
                            folder.filePath(QStringLiteral("N_4.mp4"))));

    const QString moved = work.filePath(QStringLiteral("made.mp4"));
    writeFile(moved, "moved");
    const SavedFile first = QCoro::waitFor(saveNewFile(moved, wanted, Transfer::move));
    EXPECT_EQ(first.path, folder.filePath(QStringLiteral("N_5.mp4"))) << first.error.toStdString();
    EXPECT_EQ(readFile(first.path), "moved");
    EXPECT_FALSE(QFileInfo::exists(moved));

    const QString kept = work.filePath(QStringLiteral("kept.mp4"));
    writeFile(kept, "copied");
    const SavedFile second = QCoro::waitFor(saveNewFile(kept, wanted, Transfer::copy));
    EXPECT_EQ(second.path, folder.filePath(QStringLiteral("N_6.mp4")))
        << second.error.toStdString();
    EXPECT_EQ(readFile(second.path), "copied");
    EXPECT_EQ(readFile(kept), "copied") << "a copy leaves what it copied";

    EXPECT_EQ(readFile(wanted), "the user's own");
    EXPECT_EQ(readFile(folder.filePath(QStringLiteral("N_2.mp4"))), "the user's second");
    EXPECT_EQ(readFile(victim), "untouched");
    EXPECT_FALSE(QFileInfo::exists(elsewhere.filePath(QStringLiteral("absent"))));
    EXPECT_EQ(QDir(folder.path())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System)
                  .size(),
              6)
        << "no half-made or hidden file stays behind";

    const SavedFile nowhere = QCoro::waitFor(
        saveNewFile(kept, folder.filePath(QStringLiteral("no/such/folder.mp4")), Transfer::copy));
    EXPECT_TRUE(nowhere.path.isEmpty());
    EXPECT_FALSE(nowhere.error.isEmpty());
}

TEST(TrustSavedFiles, HolesStayHolesOnTheSameDiskAndAcrossDisks)
{
    QTemporaryDir work, folder;
    constexpr qint64 size = qint64{256} << 20;
    const QByteArray data(4096, 'd');
    const QString sparse = work.filePath(QStringLiteral("claims.mp4"));
    writeSparse(sparse, size, data, size - 8192);
    if (allocatedBytes(sparse) > (1 << 20))
        GTEST_SKIP() << "this file system keeps no holes";

    const auto check = [&](const SavedFile &saved) {
        ASSERT_FALSE(saved.path.isEmpty()) << saved.error.toStdString();
        EXPECT_EQ(QFileInfo(saved.path).size(), size);
        EXPECT_LT(allocatedBytes(saved.path), 1 << 20) << "the holes were written out";
        QFile file(saved.path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.read(4096), data);
        file.seek(size / 2);
        EXPECT_EQ(file.read(4096), QByteArray(4096, '\0'));
        file.seek(size - 8192);
        EXPECT_EQ(file.read(4096), data);
    };
    check(QCoro::waitFor(saveNewFile(sparse, folder.filePath("copy.mp4"), Transfer::copy)));
    // Shared memory is another file system: the copy is written, and holes are kept there too.
    QTemporaryDir other(QStringLiteral("/dev/shm/korvane-test-XXXXXX"));
    if (!other.isValid())
        return;
    check(QCoro::waitFor(saveNewFile(sparse, other.filePath("moved.mp4"), Transfer::move)));
    EXPECT_FALSE(QFileInfo::exists(sparse)) << "a move across disks removes what it moved";
}
