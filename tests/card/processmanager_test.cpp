#include "card/cardlisting.h"
#include "card/cardvolume.h"
#include "card/privatefolder.h"
#include "card/processmanager.h"
#include "card/workingfolder.h"
#include "privatehome.h"
#include "qtprinters.h"
#include "rootsandbox.h"
#include "samplerecordings.h"
#include "testfiles.h"

#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace korvane;
using korvane::test::ProgramRun;
using korvane::test::run;
using korvane::test::sampleCardImage;

using korvane::test::readFile;
using korvane::test::writeFile;

namespace {

const auto *const home = testing::AddGlobalTestEnvironment(new korvane::test::PrivateHome);

ProcessManager *managerFor(const QString &device, const QString &volume)
{
    auto *manager = new ProcessManager;
    manager->tools().setHelperRoot(QStringLiteral(TOOLS_FOLDER "/"));
    manager->setRawDevicePath(device);
    manager->setCardVolume(volume);
    return manager;
}

} // namespace

TEST(CardListing, LinesWithThreeFieldsAreEntries)
{
    const QList<CardEntry> entries =
        parseCardListing(QStringLiteral("2 . 4096\n\t2 .. 4096\n12 f.mp4 1048576\n13 two\n  14 "
                                        "with\\040space.mp4   77  \n15 a,b.mp4 5\n"
                                        "durnix: cannot find event: Ext2 directory "
                                        "corrupted\nbash: line 1: /x/durnix: No such file\n"));
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0].name, QStringLiteral("f.mp4"));
    EXPECT_EQ(entries[0].size, QStringLiteral("1048576"));
    EXPECT_EQ(entries[1].name, QStringLiteral("with\\040space.mp4")) << "kept as listed";
    EXPECT_EQ(entries[2].name, QStringLiteral("a,b.mp4")) << "a comma is part of the name";
}

TEST(CardListing, ListedNamesReadAsTextWithControlsLeftVisible)
{
    EXPECT_EQ(readableCardName(QStringLiteral("with\\040space.mp4")),
              QStringLiteral("with space.mp4"));
    EXPECT_EQ(readableCardName(QStringLiteral("블랙박스\\040녹화.mp4")),
              QStringLiteral("블랙박스 녹화.mp4"));
    EXPECT_EQ(readableCardName(QStringLiteral("\\353\\270\\224.mp4")), QStringLiteral("블.mp4"))
        << "escaped bytes that make a printable character";
    EXPECT_NE(readableCardName(QStringLiteral("a\\033.mp4")),
              readableCardName(QStringLiteral("a\\134033.mp4")))
        << "a backslash in a name cannot pass for an escape";
    for (const char *shownEscaped :
         {"esc\\033[2J.mp4", "bad\\377utf8.mp4", "cut\\353\\270.mp4", "rtl\\342\\200\\256x",
          "cr\\015lf\\012", "nb\\302\\240sp", "dirX\\057f", "private\\356\\200\\200",
          "filler\\343\\205\\244", "back\\134slash"})
        EXPECT_EQ(readableCardName(QString::fromUtf8(shownEscaped)),
                  QString::fromUtf8(shownEscaped));
    EXPECT_EQ(readableCardName(QStringLiteral("raw\x1b.mp4")), QStringLiteral("raw\\033.mp4"))
        << "a control character a listing let through";
}

TEST(CardListing, ActiveChannelsCountWholeNumbersAboveZero)
{
    EXPECT_EQ(activeChannels(QStringLiteral("[bbox]\nch1_resol=3\nch2_resol=1\nch3_resol=0\n")), 2);
    EXPECT_EQ(activeChannels(QStringLiteral("ch1_resol=+2\nch2_resol=2a\nch5_resol = 1")), 2);
    EXPECT_EQ(activeChannels(QString()), 0);
}

TEST(CardVolume, FatPartitionOfTheCardDisk)
{
    const QString mountInfo = QStringLiteral(
        "22 1 254:1 / / rw,relatime - ext4 /dev/vda1 rw\n"
        "90 22 8:17 / /media/kim/NO\\040NAME rw,nosuid - vfat /dev/sdb1 rw,uid=1000\n"
        "91 22 8:33 / /media/kim/STICK rw,nosuid - vfat /dev/sdc1 rw\n");
    EXPECT_EQ(cardVolumeFromMountInfo(mountInfo, QStringLiteral("/dev/sdb")),
              QStringLiteral("/media/kim/NO NAME"));
    EXPECT_EQ(cardVolumeFromMountInfo(mountInfo, QStringLiteral("/dev/sdd")), QString());
    EXPECT_EQ(cardVolumeFromMountInfo(mountInfo, QStringLiteral("/dev/vda")), QString())
        << "ext4 is not the volume";
    const QString others =
        QStringLiteral("92 22 259:3 / /media/kim/STICK rw - vfat /dev/mmcblk10p1 rw\n"
                       "93 22 65:1 / /media/kim/DISK rw - exfat /dev/sdba1 rw\n"
                       "94 22 179:1 / /media/kim/NO\\040NAME rw - vfat /dev/mmcblk1p1 rw\n");
    EXPECT_EQ(cardVolumeFromMountInfo(others, QStringLiteral("/dev/sdb")), QString())
        << "sdba is another disk";
    EXPECT_EQ(cardVolumeFromMountInfo(others, QStringLiteral("/dev/mmcblk1")),
              QStringLiteral("/media/kim/NO NAME"))
        << "mmcblk10 is another disk";
}

TEST(CardLoad, ListsEveryFolderInOrderAndHandsTheSettingsToTheVolume)
{
    const QString image = sampleCardImage({"--seconds", "1"});
    ASSERT_FALSE(image.isEmpty());
    QTemporaryDir volume;
    std::unique_ptr<ProcessManager> manager(managerFor(image, volume.path()));
    QSignalSpy channels(manager.get(), &ProcessManager::activeChannelCountChanged);

    const QList<FileListItem> items = QCoro::waitFor(manager->loadCardFiles());
    QStringList listed;
    for (const FileListItem &item : items) {
        listed << item.type + QLatin1Char('/') + item.name;
        EXPECT_FALSE(item.id.isNull());
        EXPECT_GT(item.size, 1000u);
    }
    EXPECT_EQ(listed, (QStringList{"normal/N_20241005_143012.mp4", "normal/N_20241005_144012.mov",
                                   "event/E_20241005_143512.mp4", "park/P_20241004_220000.mp4",
                                   "manual/M_20241005_145012.mov", "saved/E_20241003_081500.mp4"}));
    EXPECT_EQ(manager->bbox(), (QStringList{"bbox.cfg", "bbox.ini"}));
    EXPECT_EQ(manager->data().size(), 5);
    EXPECT_EQ(manager->activeChannelCount(), 2);
    EXPECT_EQ(channels.count(), 1);
    EXPECT_TRUE(
        readFile(volume.filePath(QStringLiteral("bbox.cfg"))).startsWith("[bbox]\nch1_resol=3"));
    EXPECT_TRUE(
        QFileInfo::exists(WorkingFolder::tempRoot() + QStringLiteral("mov/flist_normal.txt")));
    for (const QString &type : ProcessManager::recordingTypes)
        EXPECT_TRUE(QFileInfo(WorkingFolder::tempRoot() + QStringLiteral("mov/") + type).isDir());

    QCoro::waitFor(manager->readCardFile(QStringLiteral("mov/park/P_20241004_220000.mp4")));
    EXPECT_EQ(WorkingFolder::fileSize(QStringLiteral("mov/park/P_20241004_220000.mp4"), true),
              items[3].size);
    const auto channelTable = Conversions::getVideoInfo(
        WorkingFolder::tempRoot() + QStringLiteral("mov/park/P_20241004_220000.mp4"));
    ASSERT_TRUE(channelTable.has_value());
    EXPECT_EQ(channelTable->size(), 1);
}

TEST(CardLoad, WithoutACardOnlyTheWorkingFoldersAreRebuilt)
{
    std::unique_ptr<ProcessManager> manager(managerFor(QString(), QString()));
    QDir().mkpath(WorkingFolder::tempRoot() + QStringLiteral("mov/normal"));
    QFile stale(WorkingFolder::tempRoot() + QStringLiteral("mov/normal/old.mp4"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    // A link among the copies: removed, and what it points to left alone.
    QTemporaryDir elsewhere;
    writeFile(elsewhere.filePath(QStringLiteral("keep.mp4")), "the user's recording");
    ASSERT_TRUE(QFile::link(elsewhere.path(),
                            WorkingFolder::tempRoot() + QStringLiteral("mov/normal/link")));
    EXPECT_TRUE(QCoro::waitFor(manager->loadCardFiles()).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(stale.fileName())) << "nothing of an earlier card survives";
    EXPECT_FALSE(
        QFileInfo(WorkingFolder::tempRoot() + QStringLiteral("mov/normal/link")).isSymLink());
    EXPECT_EQ(readFile(elsewhere.filePath(QStringLiteral("keep.mp4"))), "the user's recording");
    EXPECT_EQ(manager->activeChannelCount(), 0);
}

TEST(CardLoad, HostileNamesAreListedAndCopiedByteExactWithoutRunningAnything)
{
    QTemporaryDir tree;
    QDir(tree.path()).mkpath(QStringLiteral("mov/normal"));
    QDir(tree.path()).mkpath(QStringLiteral("cfg"));
    const QList<QByteArray> names{"x'; touch owned; '.mp4", "$(touch owned).mp4",
                                  "`touch owned`.mp4",      "with space.mp4",
                                  "블랙박스 녹화.mp4",      "a,b.mp4",
                                  "bad\xffutf8.mp4",        "esc\x1b[2J.mp4",
                                  "cr\rlf\n.mp4",           "tab\t.mp4",
                                  "one\\134two.mp4"};
    for (const QByteArray &name : names) {
        std::ofstream(QFile::encodeName(tree.path()).toStdString() + "/mov/normal/" +
                      name.toStdString())
            << name.toStdString();
    }
    QTemporaryDir work;
    const QString image = work.filePath(QStringLiteral("hostile.img"));
    ASSERT_EQ(
        run(korvane::test::dashcamSamplePath(), {"card", "--from", tree.path(), image}).exitCode,
        0);

    std::unique_ptr<ProcessManager> manager(managerFor(image, work.path()));
    QList<QByteArray> copied;
    for (const FileListItem &item : QCoro::waitFor(manager->loadCardFiles())) {
        for (const QChar c : item.name)
            EXPECT_FALSE(c.category() == QChar::Other_Control) << item.name.toStdString();
        // The listed name, handed back, copies exactly that file.
        QCoro::waitFor(manager->readCardFile(QStringLiteral("mov/normal/") + item.name));
        const QByteArray bytes =
            readFile(WorkingFolder::tempRoot() + QStringLiteral("mov/normal/") + item.name);
        EXPECT_EQ(static_cast<quint64>(bytes.size()), item.size);
        copied << bytes;
    }
    std::sort(copied.begin(), copied.end());
    QList<QByteArray> expected = names;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(copied, expected);
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("owned")));
    EXPECT_FALSE(QFileInfo::exists(WorkingFolder::tempRoot() + QStringLiteral("owned")));

    const ProgramRun list =
        run(QStringLiteral(TOOLS_FOLDER "/korvane-cli"), {"card", "list", image});
    EXPECT_EQ(list.exitCode, 0);
    for (const char c : list.out)
        EXPECT_TRUE(c == '\n' || c == '\t' || (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f))
            << "a raw control character in korvane-cli's output";
}

TEST(CardLoad, CopiesOnlyTheSmallFilesItReads)
{
    QTemporaryDir tree;
    QDir(tree.path()).mkpath(QStringLiteral("cfg"));
    QDir(tree.path()).mkpath(QStringLiteral("mov/normal"));
    writeFile(tree.filePath(QStringLiteral("cfg/bbox.ini")), "[bbox]\nch1_resol=3\n");
    writeFile(tree.filePath(QStringLiteral("cfg/bbox.cfg")), "[bbox]\nch1_resol=3\n");
    writeFile(tree.filePath(QStringLiteral("cfg/firmware.bin")), QByteArray(4096, 'f'));
    writeFile(tree.filePath(QStringLiteral("mov/flist_normal.txt")), "N_20241005_143012.mp4\n");
    writeFile(tree.filePath(QStringLiteral("mov/flist_huge.txt")), QByteArray(3 << 19, 'l'));
    writeFile(tree.filePath(QStringLiteral("mov/normal/N_20241005_143012.mp4")), "recording");
    QTemporaryDir work;
    const QString image = work.filePath(QStringLiteral("card.img"));
    ASSERT_EQ(
        run(korvane::test::dashcamSamplePath(), {"card", "--from", tree.path(), image}).exitCode,
        0);
    // The card's bbox.cfg claims 128 TiB.
    run(QStringLiteral("/sbin/debugfs"), {"-w", "-R", "sif cfg/bbox.cfg size 0x800000000000",
                                          image + QStringLiteral("?offset=104857600")});

    std::unique_ptr<ProcessManager> manager(
        managerFor(image, work.filePath(QStringLiteral("vol"))));
    QDir().mkpath(work.filePath(QStringLiteral("vol")));
    EXPECT_EQ(QCoro::waitFor(manager->loadCardFiles()).size(), 1);
    EXPECT_EQ(manager->bbox(), (QStringList{"bbox.cfg", "bbox.ini", "firmware.bin"}));
    EXPECT_EQ(manager->data(), (QStringList{"flist_huge.txt", "flist_normal.txt"}));
    EXPECT_EQ(QDir(WorkingFolder::tempRoot() + QStringLiteral("cfg")).entryList(QDir::Files),
              QStringList{"bbox.ini"});
    EXPECT_EQ(QDir(WorkingFolder::tempRoot() + QStringLiteral("mov")).entryList(QDir::Files),
              QStringList{"flist_normal.txt"});
    EXPECT_EQ(manager->activeChannelCount(), 1);
}

TEST(KorvaneCliCard, ListsTheCardsRecordings)
{
    const QString image = sampleCardImage({"--seconds", "1"});
    const ProgramRun list =
        run(QStringLiteral(TOOLS_FOLDER "/korvane-cli"), {"card", "list", image});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.err, "") << "a card read whole is listed without a word";
    const QByteArrayList rows = list.out.split('\n');
    ASSERT_EQ(rows.size(), 8) << list.out.constData();
    EXPECT_EQ(rows[7], "");
    EXPECT_TRUE(rows[0].startsWith("normal\tN_20241005_143012.mp4\t"));
    EXPECT_TRUE(rows[5].startsWith("saved\tE_20241003_081500.mp4\t"));
    EXPECT_EQ(rows[6], "active channels: 2");

    // Another card's volume mounted where cards appear is not the image's: its settings stay.
    if (!korvane::test::rootSandboxUnavailable(QDir::tempPath()).isEmpty())
        return;
    const ProgramRun other = korvane::test::runWithPrivateMounts(
        QStringLiteral("mount -t tmpfs none /media && mkdir -p \"/media/$USER/NO NAME\" && "
                       "\"$@\" && ls \"/media/$USER/NO NAME\""),
        {QStringLiteral(TOOLS_FOLDER "/korvane-cli"), "--verbose", "card", "list", image});
    EXPECT_EQ(other.exitCode, 0) << other.err.constData();
    EXPECT_FALSE(other.err.contains("saveToSDCard")) << other.err.constData();
    EXPECT_FALSE(other.out.endsWith("bbox.cfg\n")) << other.out.constData();
}

// A folder merely named like a card's volume belongs to whatever device carries that label.
TEST(TrustVolume, ACardWithoutItsOwnVolumeWritesNowhere)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "making a folder in /media takes root";
    const QByteArray user = "korvane-test-" + QByteArray::number(getpid());
    const QByteArray before = qgetenv("USER");
    qputenv("USER", user);
    const QString other = QStringLiteral("/media/") + QString::fromUtf8(user) + "/NO NAME";
    ASSERT_TRUE(QDir().mkpath(other));
    writeFile(other + "/bbox.cfg", "another device's settings");

    const QString image = sampleCardImage({"--seconds", "1"});
    std::unique_ptr<ProcessManager> manager(managerFor(image, QString()));
    manager->setRawDevicePath(QStringLiteral("/dev/korvane-no-such-disk"));
    EXPECT_EQ(manager->getSDCardPath(QStringLiteral("bbox.cfg")), std::nullopt);
    EXPECT_FALSE(manager->saveToSDCard(QStringLiteral("location.txt"), QStringLiteral("here")));
    EXPECT_EQ(manager->readSDCard(QStringLiteral("bbox.cfg")), std::nullopt);
    EXPECT_EQ(QDir(other).entryList(QDir::Files), QStringList{"bbox.cfg"});
    EXPECT_EQ(readFile(other + "/bbox.cfg"), "another device's settings");
    QDir(QStringLiteral("/media/") + QString::fromUtf8(user)).removeRecursively();
    qputenv("USER", before);
}

TEST(WorkingFolder, PerUserAndPrivate)
{
    const QString root = WorkingFolder::tempRoot();
    EXPECT_EQ(preparePrivateFolder(root), QString());
    EXPECT_EQ(root, qEnvironmentVariable("XDG_CACHE_HOME") + QStringLiteral("/Korvane/"));
    EXPECT_EQ(QFileInfo(root).permissions() &
                  (QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther |
                   QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup),
              QFileDevice::Permissions());
    EXPECT_EQ(QFileInfo(root).ownerId(), getuid());
}

TEST(WorkingFolder, AFolderSomeoneElseMadeOrLinkedIsRefused)
{
    const QString image = sampleCardImage({"--seconds", "1"});
    QTemporaryDir home;
    const QString victim = home.filePath(QStringLiteral("autostart"));
    QDir().mkpath(victim);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    const auto cardList = [&](const QString &cache) {
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
        return run(QStringLiteral(TOOLS_FOLDER "/korvane-cli"),
                   {"--verbose", "card", "list", image}, environment);
    };

    // The working folder is a link to a folder of the user's: the card would land there.
    const QString linked = home.filePath(QStringLiteral("linked"));
    QDir().mkpath(linked);
    ASSERT_TRUE(QFile::link(victim, linked + QStringLiteral("/Korvane")));
    ProgramRun r = cardList(linked);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(r.err).contains(QStringLiteral("작업 폴더")))
        << r.err.constData();
    EXPECT_TRUE(r.err.contains("working folder refused: ")) << r.err.constData();

    // Another user's folder, writable by all, with "cfg" pointing into the user's autostart.
    if (geteuid() == 0) {
        const QString shared = home.filePath(QStringLiteral("shared"));
        QDir().mkpath(shared + QStringLiteral("/Korvane"));
        ASSERT_TRUE(QFile::link(victim, shared + QStringLiteral("/Korvane/cfg")));
        ASSERT_EQ(::chown(QFile::encodeName(shared + "/Korvane").constData(), 65534, 65534), 0);
        ::chmod(QFile::encodeName(shared + "/Korvane").constData(), 0777);
        r = cardList(shared);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains("belongs to user 65534")) << r.err.constData();

        // The user's own private folder, inside one that everybody may write: anyone could swap
        // it for a link between the check and the copy.
        const QString open = home.filePath(QStringLiteral("open"));
        QDir().mkpath(open + QStringLiteral("/Korvane"));
        ::chmod(QFile::encodeName(open + "/Korvane").constData(), 0700);
        ::chmod(QFile::encodeName(open).constData(), 0777);
        r = cardList(open);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains("can be replaced by other users")) << r.err.constData();

        // The same through an access control list: mode 0775, but user nobody may write.
        const QString listed = home.filePath(QStringLiteral("acl"));
        QDir().mkpath(listed + QStringLiteral("/Korvane"));
        ::chmod(QFile::encodeName(listed + "/Korvane").constData(), 0700);
        const unsigned char acl[] = {2,    0, 0, 0,                          // version
                                     1,    0, 7, 0, 0xff, 0xff, 0xff, 0xff,  // owner rwx
                                     2,    0, 7, 0, 0xfe, 0xff, 0,    0,     // nobody rwx
                                     4,    0, 5, 0, 0xff, 0xff, 0xff, 0xff,  // group r-x
                                     0x10, 0, 7, 0, 0xff, 0xff, 0xff, 0xff,  // mask rwx
                                     0x20, 0, 5, 0, 0xff, 0xff, 0xff, 0xff}; // others r-x
        if (::setxattr(QFile::encodeName(listed).constData(), "system.posix_acl_access", acl,
                       sizeof acl, 0) == 0) {
            r = cardList(listed);
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_TRUE(r.err.contains("can be replaced by other users")) << r.err.constData();
        }
    }
    EXPECT_TRUE(QDir(victim).isEmpty()) << "nothing of the card reached the link's target";

    // A relative cache folder is no folder at all: the home's cache is used.
    environment.insert(QStringLiteral("HOME"), home.path());
    r = cardList(QStringLiteral("relative/cache"));
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(QFileInfo::exists(home.filePath(QStringLiteral(".cache/Korvane/cfg/bbox.ini"))));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("relative")));
}
