// durnix on small file systems made by mke2fs and debugfs, as dashcams leave them (holes,
// blocks set aside) and damaged the way a hostile or failing card could be: claimed sizes,
// looping block maps, broken folder entries and folder maps, blocks that fail their checksums.
// Each must end soon, with a clear message, copying no more than the card holds, listing what
// is intact, and salvaging what can be read when asked.
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using korvane::test::ProgramRun;
using korvane::test::readFile;
using korvane::test::run;
using korvane::test::writeFile;

namespace {

const QString durnix = QStringLiteral(DURNIX_PATH);
constexpr qint64 blockSize = 1024;

// A file system of `tree` at byte 0 of `image`, without checksums, so that a damaged structure
// is met by durnix's own checks rather than turned away by a checksum.
void makeImage(const QString &tree, const QString &image, const QString &size = "4M",
               const QString &features = "^has_journal,^metadata_csum")
{
    const ProgramRun made =
        run(QStringLiteral("/sbin/mke2fs"), {"-q", "-F", "-t", "ext4", "-b", "1024", "-I", "256",
                                             "-O", features, "-d", tree, image, size});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();
}

QByteArray debugfs(const QString &image, const QString &command, bool write = false)
{
    QStringList args{"-R", command, image};
    if (write)
        args.prepend(QStringLiteral("-w"));
    return run(QStringLiteral("/sbin/debugfs"), args).out;
}

QList<qint64> blocksOf(const QString &image, const QString &path)
{
    QList<qint64> blocks;
    for (const QByteArray &b : debugfs(image, "blocks " + path).trimmed().split(' '))
        blocks << b.toLongLong();
    return blocks;
}

void patch(const QString &image, qint64 at, const QByteArray &bytes)
{
    QFile file(image);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.seek(at);
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray le16(quint16 v)
{
    QByteArray bytes(2, '\0');
    bytes[0] = static_cast<char>(v);
    bytes[1] = static_cast<char>(v >> 8);
    return bytes;
}

QByteArray le32(quint32 v)
{
    return le16(static_cast<quint16>(v)) + le16(static_cast<quint16>(v >> 16));
}

// An extent tree node: a header, then `entries` index entries all naming `child`, or, at depth
// 0, extents of one block each at `child`.
QByteArray extentNode(quint16 depth, quint16 entries, quint32 child)
{
    const quint16 capacity = (blockSize - 12) / 12;
    QByteArray node = le16(0xf30a) + le16(entries) + le16(capacity) + le16(depth) + le32(0);
    for (quint32 i = 0; i < entries; ++i) {
        node +=
            depth > 0 ? le32(i) + le32(child) + le32(0) : le32(i) + le16(1) + le16(0) + le32(child);
    }
    return node.leftJustified(blockSize, '\0');
}

// Points the inode's extent root (in its block[] words) at a tree of `depth` levels whose every
// level names the same node four times over: a walk that does not notice visiting a node again
// follows 4 * 84^4 paths.
void makeLoopingTree(const QString &image, const QString &path)
{
    const QList<qint64> pad = blocksOf(image, QStringLiteral("pad.bin"));
    ASSERT_GE(pad.size(), 5);
    for (int level = 4; level >= 1; --level)
        patch(image, pad[4 - level] * blockSize,
              extentNode(static_cast<quint16>(level), 84, static_cast<quint32>(pad[5 - level])));
    patch(image, pad[4] * blockSize, extentNode(0, 84, static_cast<quint32>(pad[4])));
    const quint32 root[15] = {0xf30au | 4u << 16,
                              4u | 5u << 16,
                              0,
                              0,
                              static_cast<quint32>(pad[0]),
                              0,
                              1,
                              static_cast<quint32>(pad[0]),
                              0,
                              2,
                              static_cast<quint32>(pad[0]),
                              0,
                              3,
                              static_cast<quint32>(pad[0]),
                              0};
    for (int i = 0; i < 15; ++i)
        debugfs(image, QStringLiteral("sif %1 block[%2] %3").arg(path).arg(i).arg(root[i]), true);
}

struct Listing
{
    ProgramRun run;
    QStringList names;
};

QByteArray read(const QString &image, const QString &path)
{
    QTemporaryDir folder;
    const QString copy = folder.filePath(QStringLiteral("copy"));
    run(durnix, {"read", image, "0", path, copy});
    return readFile(copy);
}

Listing list(const QString &image, const QString &folder)
{
    Listing listing{run(durnix, {"ls", image, "0", folder}), {}};
    for (const QByteArray &line : listing.run.out.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 3 && fields[1] != "." && fields[1] != "..")
            listing.names << QString::fromUtf8(fields[1]);
    }
    listing.names.sort();
    return listing;
}

} // namespace

TEST(DurnixDamage, ClaimedSizesNeverFillTheDisk)
{
    QTemporaryDir work;
    const QString tree = work.filePath(QStringLiteral("tree"));
    QDir().mkpath(tree + QStringLiteral("/cfg"));
    writeFile(tree + QStringLiteral("/cfg/bbox.ini"), "[bbox]\nch1_resol=3\n");
    // A file with holes: written blocks, then nothing, then a block far out.
    {
        QFile sparse(tree + QStringLiteral("/cfg/sparse.bin"));
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
        sparse.write(QByteArray(3000, 's'));
        sparse.seek(1500 * blockSize);
        sparse.write("end");
    }
    const QString image = work.filePath(QStringLiteral("card.img"));
    makeImage(tree, image);

    const QString copy = work.filePath(QStringLiteral("sparse.bin"));
    ASSERT_EQ(run(durnix, {"read", image, "0", "cfg/sparse.bin", copy}).exitCode, 0);
    EXPECT_EQ(readFile(copy), readFile(tree + QStringLiteral("/cfg/sparse.bin")));
    struct stat st
    {
    };
    ASSERT_EQ(stat(QFile::encodeName(copy).constData(), &st), 0);
    EXPECT_LT(st.st_blocks * 512, 64 * 1024) << "holes are sought over, not written";

    // 128 TiB claimed by a file of one block, then by the sparse one.
    for (const char *file : {"cfg/bbox.ini", "cfg/sparse.bin"}) {
        debugfs(image, QStringLiteral("sif %1 size 0x800000000000").arg(file), true);
        const QString bomb = work.filePath(QStringLiteral("bomb"));
        const ProgramRun r = run(durnix, {"read", image, "0", file, bomb});
        EXPECT_EQ(r.exitCode, 1) << file;
        EXPECT_TRUE(r.err.contains("claims more bytes than the file system holds"))
            << r.err.constData();
        EXPECT_FALSE(QFileInfo::exists(bomb)) << file;
        EXPECT_TRUE(QDir(work.path()).entryList({".durnix-*"}, QDir::Hidden | QDir::Files).empty());
    }
}

TEST(DurnixDamage, LoopingBlockMapsEndAtOnceOnFilesAndFolders)
{
    QTemporaryDir work;
    const QString tree = work.filePath(QStringLiteral("tree"));
    QDir().mkpath(tree + QStringLiteral("/mov/normal"));
    writeFile(tree + QStringLiteral("/mov/normal/N_20241005_143012.mp4"), "recording");
    writeFile(tree + QStringLiteral("/pad.bin"), QByteArray(5 * blockSize, 'p'));
    const QString image = work.filePath(QStringLiteral("card.img"));
    makeImage(tree, image);

    for (const char *target : {"mov/normal/N_20241005_143012.mp4", "mov/normal"}) {
        const QString damaged = work.filePath(QStringLiteral("damaged.img"));
        QFile::remove(damaged);
        ASSERT_TRUE(QFile::copy(image, damaged));
        makeLoopingTree(damaged, QLatin1String(target));
        const bool folder = QByteArray(target) == "mov/normal";
        const ProgramRun r =
            folder
                ? run(durnix, {"ls", damaged, "0", target})
                : run(durnix, {"read", damaged, "0", target, work.filePath(QStringLiteral("out"))});
        EXPECT_EQ(r.exitCode, 1) << target << ": " << r.err.constData();
        EXPECT_TRUE(r.err.contains("block map is damaged")) << r.err.constData();
    }

    // An extent of no blocks is damage too, not an empty file.
    const QString empty = work.filePath(QStringLiteral("empty-extent.img"));
    ASSERT_TRUE(QFile::copy(image, empty));
    const QString file = QStringLiteral("mov/normal/N_20241005_143012.mp4");
    debugfs(empty, QStringLiteral("sif %1 block[4] 0").arg(file), true);
    const ProgramRun r =
        run(durnix, {"read", empty, "0", file, work.filePath(QStringLiteral("out"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("an extent of no blocks")) << r.err.constData();
}

TEST(DurnixDamage, ADamagedEntryIsReportedAndTheRestListed)
{
    QTemporaryDir work;
    const QString tree = work.filePath(QStringLiteral("tree"));
    QDir().mkpath(tree + QStringLiteral("/mov/event"));
    QStringList names;
    for (int i = 0; i < 60; ++i) {
        names << QStringLiteral("E_20241005_%1.mp4").arg(143000 + i);
        writeFile(tree + QStringLiteral("/mov/event/") + names.last(), "event");
    }
    const QString image = work.filePath(QStringLiteral("card.img"));
    makeImage(tree, image);

    // Where each entry lies: its name's offset in the image, its record 8 bytes before.
    const QByteArray bytes = readFile(image);
    QMap<qint64, QString> byPlace;
    for (const QString &name : names)
        byPlace.insert(bytes.indexOf(name.toLatin1()) - 8, name);
    ASSERT_FALSE(byPlace.contains(-9));
    const qint64 firstBlock = byPlace.firstKey() / blockSize;
    const qint64 lastBlock = byPlace.lastKey() / blockSize;
    ASSERT_GT(lastBlock, firstBlock) << "the folder spans blocks";

    // In the first block, a record whose length runs off its block: the rest of that block is
    // lost. In the last, an entry naming an inode the file system does not have.
    const auto inFirst = std::find_if(byPlace.keyBegin(), byPlace.keyEnd(), [&](qint64 at) {
        return at / blockSize == firstBlock && at > byPlace.firstKey();
    });
    const qint64 badLength = *inFirst;
    const qint64 badInode = byPlace.lastKey();
    patch(image, badLength + 4, le16(0x7ffc));
    patch(image, badInode, le32(0x7ffffff0));

    QStringList expected;
    for (auto it = byPlace.cbegin(); it != byPlace.cend(); ++it) {
        if ((it.key() / blockSize != firstBlock || it.key() < badLength) && it.key() != badInode)
            expected << it.value();
    }
    expected.sort();
    const Listing listing = list(image, QStringLiteral("mov/event"));
    EXPECT_EQ(listing.run.exitCode, 1);
    EXPECT_EQ(listing.names, expected);
    EXPECT_TRUE(listing.run.err.contains(byPlace[badInode].toLatin1() + ": an entry names inode"))
        << listing.run.err.constData();
    EXPECT_TRUE(listing.run.err.contains("damaged entries in folder block"))
        << listing.run.err.constData();
}

// Changes the first `from` in the image to `to` (of the same length): a name in a folder entry.
void rename(const QString &image, const QByteArray &from, const QByteArray &to)
{
    const qint64 at = readFile(image).indexOf(from);
    ASSERT_GT(at, 0) << from.constData();
    patch(image, at, to);
}

TEST(DurnixDamage, NamesOnlyADamagedFolderHoldsAreListedAsTheyCanBeRead)
{
    QTemporaryDir work;
    const QString tree = work.filePath(QStringLiteral("tree"));
    QDir().mkpath(tree + QStringLiteral("/mov/dirX"));
    QDir().mkpath(tree + QStringLiteral("/mov/short"));
    writeFile(tree + QStringLiteral("/mov/dirXQf"), "OUTER");
    writeFile(tree + QStringLiteral("/mov/dirX/f"), "INNER");
    writeFile(tree + QStringLiteral("/mov/dupA1"), "FIRST");
    writeFile(tree + QStringLiteral("/mov/dupA2"), "SECOND");
    for (const char *name : {"aaaa", "bbbb", "cccc"})
        writeFile(tree + QStringLiteral("/mov/short/") + QLatin1String(name), name);
    const QString image = work.filePath(QStringLiteral("card.img"));
    makeImage(tree, image);
    rename(image, "dirXQf", "dirX/f");
    rename(image, "dupA2", "dupA1");
    // "bbbb" claims a name longer than its record.
    const qint64 bbbb = readFile(image).indexOf("bbbb");
    patch(image, bbbb - 2, QByteArray(1, 9));

    const Listing mov = list(image, QStringLiteral("mov"));
    EXPECT_EQ(mov.run.exitCode, 1);
    EXPECT_EQ(mov.names, (QStringList{"dirX", "dirX\\057f", "dupA1", "short"}));
    EXPECT_TRUE(mov.run.err.contains("dupA1: a second entry of this name"))
        << mov.run.err.constData();
    EXPECT_EQ(read(image, QStringLiteral("mov/dirX\\057f")), "OUTER")
        << "the listed name is that file";
    EXPECT_EQ(read(image, QStringLiteral("mov/dirX/f")), "INNER");
    EXPECT_EQ(read(image, QStringLiteral("mov/dupA1")), "FIRST");

    const Listing folder = list(image, QStringLiteral("mov/short"));
    EXPECT_EQ(folder.run.exitCode, 1);
    EXPECT_EQ(folder.names, (QStringList{"aaaa", "cccc"})) << folder.run.err.constData();
}

TEST(DurnixDamage, ASmallFolderInItsInodeListsWhatIsIntact)
{
    QTemporaryDir work;
    const QString tree = work.filePath(QStringLiteral("tree"));
    QDir().mkpath(tree + QStringLiteral("/mov/small"));
    for (const char *name : {"aaaa", "bbbb", "cccc"})
        writeFile(tree + QStringLiteral("/mov/small/") + QLatin1String(name), name);
    const QString image = work.filePath(QStringLiteral("card.img"));
    makeImage(tree, image, QStringLiteral("4M"),
              QStringLiteral("^has_journal,^metadata_csum,inline_data"));
    const Listing intact = list(image, QStringLiteral("mov/small"));
    ASSERT_EQ(intact.run.exitCode, 0) << intact.run.err.constData();
    EXPECT_EQ(intact.names, (QStringList{"aaaa", "bbbb", "cccc"}));
    EXPECT_EQ(read(image, "mov/small/bbbb"), "bbbb");

    // "bbbb"'s record length no longer fits: what comes before it is still listed.
    const qint64 bbbb = readFile(image).indexOf("bbbb");
    patch(image, bbbb - 4, le16(13));
    const Listing damaged = list(image, QStringLiteral("mov/small"));
    EXPECT_EQ(damaged.run.exitCode, 1);
    EXPECT_TRUE(damaged.names.contains(QStringLiteral("aaaa"))) << damaged.run.err.constData();
    EXPECT_TRUE(damaged.run.err.contains("damaged entries in the folder's"))
        << damaged.run.err.constData();
}

TEST(DurnixDamage, ErrorsAreWordsNotCodes)
{
    QTemporaryDir work;
    const QString tree = work.filePath(QStringLiteral("tree"));
    QDir().mkpath(tree + QStringLiteral("/cfg"));
    const QString image = work.filePath(QStringLiteral("card.img"));
    makeImage(tree, image);
    // A superblock that claims 2 TiB on a 4 MiB card is turned away before the library reads
    // the group descriptors such a size implies.
    const QString lying = work.filePath(QStringLiteral("lying.img"));
    ASSERT_TRUE(QFile::copy(image, lying));
    patch(lying, 1024 + 0x04, le32(0x7fffffff));
    const ProgramRun large = run(durnix, {"ls", lying, "0", "cfg"});
    EXPECT_EQ(large.exitCode, 1);
    EXPECT_TRUE(large.err.contains("claims to be larger than the card")) << large.err.constData();

    const QString future = work.filePath(QStringLiteral("future.img"));
    ASSERT_TRUE(QFile::copy(image, future));
    patch(future, 1024 + 0x4c, le32(7)); // a revision of the format from the future
    const ProgramRun later = run(durnix, {"ls", future, "0", "cfg"});
    EXPECT_EQ(later.exitCode, 1);
    EXPECT_TRUE(later.err.contains("revision too high")) << later.err.constData();
    EXPECT_FALSE(later.err.contains("Unknown code")) << later.err.constData();

    patch(image, 1024 + 0x38, le16(0)); // the superblock's magic number
    const ProgramRun r = run(durnix, {"ls", image, "0", "cfg"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "durnix: cannot read " + image.toUtf8() + ": not an ext4 file system at byte 0\n");
}

TEST(DurnixDamage, AnInterruptedCopyLeavesNothing)
{
    QTemporaryDir work;
    const QString tree = work.filePath(QStringLiteral("tree"));
    QDir().mkpath(tree + QStringLiteral("/mov/normal"));
    writeFile(tree + QStringLiteral("/mov/normal/big.mov"), QByteArray(160 << 20, 'r'));
    const QString image = work.filePath(QStringLiteral("card.img"));
    makeImage(tree, image, QStringLiteral("200M"));
    const QString out = work.filePath(QStringLiteral("out"));
    QDir().mkpath(out);

    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        QProcess copy;
        copy.start(durnix, {"read", image, "0", "mov/normal/big.mov", out + "/big.mov"});
        ASSERT_TRUE(copy.waitForStarted());
        // Caught while its temporary file exists.
        bool caught = false;
        while (!caught && copy.state() == QProcess::Running) {
            caught = !QDir(out).entryList({".durnix-*"}, QDir::Hidden | QDir::Files).isEmpty();
            if (!caught)
                usleep(200);
        }
        if (!caught)
            GTEST_SKIP() << "the copy ended before it could be interrupted";
        ::kill(static_cast<pid_t>(copy.processId()), signal);
        copy.waitForFinished();
        EXPECT_EQ(copy.exitStatus(), QProcess::CrashExit) << signal;
        EXPECT_TRUE(QDir(out).entryList(QDir::Hidden | QDir::Files).isEmpty())
            << "signal " << signal << " left "
            << QDir(out).entryList(QDir::Hidden).join(' ').toStdString();
    }
}

namespace {

// debugfs run with the lines of `script`, for what needs a folder to work in.
void debugfsScript(const QString &image, const QString &script)
{
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("script"));
    writeFile(file, script.toUtf8());
    run(QStringLiteral("/sbin/debugfs"), {"-w", "-f", file, image});
}

// The file as debugfs reads it, for a judge that is not durnix.
QByteArray dumped(const QString &image, const QString &path)
{
    QTemporaryDir folder;
    const QString copy = folder.filePath(QStringLiteral("dump"));
    debugfs(image, QStringLiteral("dump %1 %2").arg(path, copy));
    return readFile(copy);
}

// Writes `size` bytes of holes with `chunk` at each of `at`.
void writeSparse(const QString &path, qint64 size, const QList<qint64> &at, const QByteArray &chunk)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    for (const qint64 offset : at) {
        ASSERT_TRUE(file.seek(offset));
        ASSERT_EQ(file.write(chunk), chunk.size());
    }
    ASSERT_TRUE(file.resize(size));
}

qint64 allocated(const QString &path)
{
    struct stat st
    {
    };
    return stat(QFile::encodeName(path).constData(), &st) == 0 ? qint64{st.st_blocks} * 512 : -1;
}

} // namespace

// What a dashcam leaves of files it sized up front: a hole in the middle, a hole to the end,
// nothing but a hole, blocks set aside and never written. Each is copied at its size as debugfs
// reads it, its holes kept as holes.
TEST(DurnixDamage, HolesAndBlocksSetAsideReadAsZerosAtTheFilesSize)
{
    QTemporaryDir work;
    const QString tree = work.filePath(QStringLiteral("tree"));
    QDir().mkpath(tree + QStringLiteral("/cfg"));
    const QByteArray chunk(3000, 'd');
    writeSparse(tree + QStringLiteral("/cfg/middle.bin"), 600 * blockSize, {0, 400 * blockSize},
                chunk);
    writeSparse(tree + QStringLiteral("/cfg/tail.bin"), 2048 * blockSize, {0}, chunk);
    writeSparse(tree + QStringLiteral("/cfg/hole.bin"), 1000 * blockSize, {}, chunk);
    const QString image = work.filePath(QStringLiteral("card.img"));
    makeImage(tree, image, QStringLiteral("16M"));
    // 2 MiB set aside by fallocate: one unwritten extent over the whole file.
    debugfsScript(image, QStringLiteral("cd cfg\nwrite /dev/null set-aside.bin\n"
                                        "fallocate set-aside.bin 0 2047\n"
                                        "sif set-aside.bin size 2097152\n"));
    ASSERT_TRUE(debugfs(image, QStringLiteral("ex cfg/set-aside.bin")).contains("Uninit"))
        << "debugfs made no unwritten extent";

    for (const char *name : {"middle.bin", "tail.bin", "hole.bin", "set-aside.bin"}) {
        const QString path = QStringLiteral("cfg/") + QLatin1String(name);
        const QString copy = work.filePath(QLatin1String(name));
        const ProgramRun r = run(durnix, {"read", image, "0", path, copy});
        EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err.constData();
        const QByteArray bytes = readFile(copy);
        EXPECT_EQ(bytes.size(), dumped(image, path).size()) << name;
        EXPECT_TRUE(bytes == dumped(image, path)) << name;
        EXPECT_LT(allocated(copy), 16 * blockSize) << name << ": holes written out";
    }
    EXPECT_EQ(readFile(work.filePath(QStringLiteral("tail.bin"))),
              readFile(tree + QStringLiteral("/cfg/tail.bin")));
    EXPECT_EQ(readFile(work.filePath(QStringLiteral("set-aside.bin"))), QByteArray(2097152, '\0'));
}

// A folder whose blocks the map gives wrongly is listed as far as it can be, never as a folder
// that is whole and empty.
TEST(DurnixDamage, ADamagedFolderSaysWhatCouldNotBeRead)
{
    QTemporaryDir work;
    const QString tree = work.filePath(QStringLiteral("tree"));
    for (const char *type : {"event", "park", "manual"}) {
        QDir().mkpath(tree + QStringLiteral("/mov/") + QLatin1String(type));
        writeFile(tree + QStringLiteral("/mov/%1/rec.mp4").arg(QLatin1String(type)), "recording");
    }
    const QString image = work.filePath(QStringLiteral("card.img"));
    makeImage(tree, image);
    // Its one block marked as set aside and never written (the length's top bit).
    debugfs(image, QStringLiteral("sif mov/event block[4] 32769"), true);
    // A size of 0 with its block still mapped.
    debugfs(image, QStringLiteral("sif mov/park size 0"), true);

    const Listing event = list(image, QStringLiteral("mov/event"));
    EXPECT_EQ(event.run.exitCode, 1);
    EXPECT_TRUE(event.run.err.contains("never written")) << event.run.err.constData();
    EXPECT_TRUE(event.run.err.contains("no \".\" entry")) << event.run.err.constData();
    const Listing park = list(image, QStringLiteral("mov/park"));
    EXPECT_EQ(park.run.exitCode, 1);
    EXPECT_TRUE(park.run.err.contains("past the folder's size")) << park.run.err.constData();
    const Listing manual = list(image, QStringLiteral("mov/manual"));
    EXPECT_EQ(manual.run.exitCode, 0) << manual.run.err.constData();
    EXPECT_EQ(manual.names, QStringList{"rec.mp4"});
}

// An unused record may be as short as its header; the entry after it is still an entry.
TEST(DurnixDamage, AnUnusedEightByteRecordHidesNoEntry)
{
    QTemporaryDir work;
    const QString tree = work.filePath(QStringLiteral("tree"));
    QDir().mkpath(tree + QStringLiteral("/mov/event"));
    for (int i = 0; i < 80; ++i)
        writeFile(tree + QStringLiteral("/mov/event/E_20241005_%1_event.mp4").arg(143000 + i), "e");
    const QString image = work.filePath(QStringLiteral("card.img"));
    makeImage(tree, image);
    const QList<qint64> blocks = blocksOf(image, QStringLiteral("mov/event"));
    ASSERT_GE(blocks.size(), 2);
    const qint64 at = blocks[1] * blockSize;
    QFile file(image);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    file.seek(at);
    const QByteArray block = file.read(blockSize);
    file.close();
    // The block's first entry, and the one after it, which debugfs removes to give the first
    // room before it.
    const auto u16 = [&](int i) {
        return static_cast<quint16>(static_cast<uchar>(block[i]) | static_cast<uchar>(block[i + 1])
                                                                       << 8);
    };
    const quint16 firstLength = u16(4);
    const QByteArray firstName = block.mid(8, static_cast<uchar>(block[6]));
    const QByteArray secondName =
        block.mid(firstLength + 8, static_cast<uchar>(block[firstLength + 6]));
    debugfs(image, QStringLiteral("rm mov/event/%1").arg(QString::fromLatin1(secondName)), true);
    file.open(QIODevice::ReadOnly);
    file.seek(at);
    const QByteArray merged = file.read(blockSize);
    file.close();
    const quint16 room =
        static_cast<quint16>(static_cast<uchar>(merged[4]) | static_cast<uchar>(merged[5]) << 8);
    ASSERT_GE(room, 8 + 8 + firstName.size());
    // An 8-byte unused record, then the first entry moved behind it.
    patch(image, at,
          le32(0) + le16(8) + le16(0) + merged.left(4) + le16(static_cast<quint16>(room - 8)) +
              merged.mid(6, 2) + firstName);
    ASSERT_TRUE(debugfs(image, QStringLiteral("ls mov/event")).contains(firstName))
        << "debugfs lists the entry behind the short record";

    const Listing listed = list(image, QStringLiteral("mov/event"));
    EXPECT_EQ(listed.run.exitCode, 0) << listed.run.err.constData();
    EXPECT_TRUE(listed.names.contains(QString::fromLatin1(firstName)));
    EXPECT_EQ(listed.names.size(), 79);
}

// Where the file system keeps checksums, a folder or extent block that fails its own is damage:
// reported, never read as if it were good.
TEST(DurnixDamage, ABlockThatFailsItsChecksumIsNotTrusted)
{
    QTemporaryDir work;
    const QString tree = work.filePath(QStringLiteral("tree"));
    QDir().mkpath(tree + QStringLiteral("/mov/event"));
    QDir().mkpath(tree + QStringLiteral("/mov/normal"));
    writeFile(tree + QStringLiteral("/mov/event/E_20241005_143000.mp4"), "event");
    writeFile(tree + QStringLiteral("/mov/event/E_20241005_143100.mp4"), "event");
    // Six runs of data between holes: more extents than the inode holds, so a block of its own.
    QList<qint64> chunks;
    for (int i = 0; i < 6; ++i)
        chunks << i * 64 * blockSize;
    writeSparse(tree + QStringLiteral("/mov/normal/scattered.mp4"), 6 * 64 * blockSize, chunks,
                QByteArray(2 * blockSize, 's'));
    const QString image = work.filePath(QStringLiteral("card.img"));
    makeImage(tree, image, QStringLiteral("4M"), QStringLiteral("^has_journal,metadata_csum"));

    // The extent block, where debugfs's stat shows it.
    const QRegularExpression leaf(QStringLiteral(R"(\(ETB0\):\s*(\d+))"));
    const QRegularExpressionMatch found =
        leaf.match(QString::fromUtf8(debugfs(image, "stat mov/normal/scattered.mp4")));
    ASSERT_TRUE(found.hasMatch()) << "no extent block";
    patch(image, found.captured(1).toLongLong() * blockSize + 12 + 4, "\x7f");
    const QString copy = work.filePath(QStringLiteral("copy"));
    const ProgramRun r = run(durnix, {"read", image, "0", "mov/normal/scattered.mp4", copy});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("fails its checksum")) << r.err.constData();
    EXPECT_FALSE(QFileInfo::exists(copy));

    const qint64 folder = blocksOf(image, QStringLiteral("mov/event")).first();
    patch(image, folder * blockSize + 12 + 12 + 8, "X"); // a byte of the first name
    const Listing listed = list(image, QStringLiteral("mov/event"));
    EXPECT_EQ(listed.run.exitCode, 1);
    EXPECT_TRUE(listed.run.err.contains("fails its checksum")) << listed.run.err.constData();
    EXPECT_FALSE(listed.names.join(' ').contains('X')) << "the bad block's names are not listed";
}

// One extent of a recording points outside the file system: a plain copy refuses the file, a
// salvage copies every other byte exactly and names the bytes it lost.
TEST(DurnixDamage, SalvageCopiesAllButTheDamagedExtentAndSaysWhatWasLost)
{
    QTemporaryDir work;
    const QString tree = work.filePath(QStringLiteral("tree"));
    QDir().mkpath(tree + QStringLiteral("/mov/normal"));
    const QString original = tree + QStringLiteral("/mov/normal/N_20241005_143012.mp4");
    QByteArray pattern;
    for (int i = 0; i < 256 * blockSize; ++i)
        pattern.append(static_cast<char>(i * 7 % 251));
    writeSparse(original, 1280 * blockSize, {0, 1024 * blockSize}, pattern);
    const QString image = work.filePath(QStringLiteral("card.img"));
    makeImage(tree, image, QStringLiteral("8M"));
    // The extent of the second run (its start, the third word of its entry in the inode's
    // block[]) made to lie beyond the last block.
    const QString extents =
        QString::fromUtf8(debugfs(image, QStringLiteral("stat mov/normal/N_20241005_143012.mp4")));
    const QStringList runs = extents.mid(extents.indexOf(QLatin1String("EXTENTS:")) + 9)
                                 .trimmed()
                                 .split(QStringLiteral(", "));
    const qsizetype second = runs.indexOf(QRegularExpression(QStringLiteral(R"(^\(1024-.*)")));
    ASSERT_GE(second, 0) << extents.toStdString();
    ASSERT_FALSE(extents.contains(QLatin1String("ETB"))) << "the extents are in the inode";
    debugfs(image,
            QStringLiteral("sif mov/normal/N_20241005_143012.mp4 block[%1] 4000000000")
                .arg(5 + 3 * second),
            true);

    const QString copy = work.filePath(QStringLiteral("copy.mp4"));
    const ProgramRun plain =
        run(durnix, {"read", image, "0", "mov/normal/N_20241005_143012.mp4", copy});
    EXPECT_EQ(plain.exitCode, 1);
    EXPECT_TRUE(plain.err.contains("outside the file system")) << plain.err.constData();
    EXPECT_FALSE(QFileInfo::exists(copy));

    const ProgramRun salvaged =
        run(durnix, {"read", "--salvage", image, "0", "mov/normal/N_20241005_143012.mp4", copy});
    EXPECT_EQ(salvaged.exitCode, 1) << "nothing partial passes for whole";
    EXPECT_TRUE(salvaged.err.contains("bytes 1048576 to 1310719 lost, written as zeros"))
        << salvaged.err.constData();
    EXPECT_TRUE(salvaged.err.contains("262144 bytes lost")) << salvaged.err.constData();
    const QByteArray bytes = readFile(copy);
    const QByteArray expected = readFile(original);
    ASSERT_EQ(bytes.size(), expected.size());
    EXPECT_TRUE(bytes.left(1024 * blockSize) == expected.left(1024 * blockSize));
    EXPECT_EQ(bytes.mid(1024 * blockSize), QByteArray(256 * blockSize, '\0'));
    EXPECT_LT(allocated(copy), 300 * blockSize) << "what was lost is holes";

    // A salvage of a file that is whole is a copy.
    const ProgramRun whole =
        run(durnix, {"read", "--salvage", image, "0", "mov/normal", work.filePath("x")});
    EXPECT_EQ(whole.exitCode, 1) << "a folder is no file, salvaged or not";
}
