// A set-user-ID root durnix started by any user: it may read SD cards and nothing else, at the
// card offset only, and learn nothing for its caller about paths only root can see. Cards are
// simulated with loop devices over a sample card image, given the sysfs entries of an SD card,
// a card reader or built-in eMMC in a private mount namespace.
#include "rootsandbox.h"
#include "samplerecordings.h"
#include "simulatedcard.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <sys/stat.h>

using namespace korvane::test;

namespace {

const QString durnix = QStringLiteral(DURNIX_PATH);
const QString offset = QStringLiteral("104857600");

} // namespace

TEST(DurnixPrivilege, SetUserIdReadsOnlyDevicesNamedUnderDevAndSaysNothingOfOtherPaths)
{
    QTemporaryDir folder;
    if (const QString why = rootSandboxUnavailable(folder.path()); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QString helper = setUserIdCopy(durnix, folder.path());
    ASSERT_FALSE(helper.isEmpty());
    const QString image = sampleCardImage({"--seconds", "1"});
    const QString readable = folder.filePath(QStringLiteral("card.img"));
    ASSERT_TRUE(QFile::copy(image, readable));
    QFile::setPermissions(readable, QFileDevice::ReadOwner | QFileDevice::ReadOther);
    const QString secret = folder.filePath(QStringLiteral("secret.img"));
    ASSERT_TRUE(QFile::copy(image, secret));
    QFile::setPermissions(secret, QFileDevice::ReadOwner);

    const auto attempt = [&](const QString &device, const QString &at = offset) {
        const QStringList line = asNobody(helper, {"ls", device, at, "cfg"});
        return run(line.first(), line.mid(1));
    };
    // An image anyone may read, one only root may read, a missing one, a way out of /dev: one
    // answer for all, so the answer tells nothing about the secret.
    const ProgramRun first = attempt(readable);
    EXPECT_EQ(first.exitCode, 1);
    EXPECT_TRUE(first.err.contains("only a device named /dev/NAME")) << first.err.constData();
    for (const QString &path :
         {secret, folder.filePath(QStringLiteral("missing.img")),
          QStringLiteral("/dev/../") + secret.mid(1), QStringLiteral("/dev/shm/../..") + secret}) {
        const ProgramRun r = attempt(path);
        EXPECT_EQ(r.exitCode, 1) << path.toStdString();
        EXPECT_EQ(r.err, first.err) << path.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }

    // Not a block device, another offset, a fixed disk of this machine.
    EXPECT_TRUE(attempt(QStringLiteral("/dev/null")).err.contains("not a block device"));
    const ProgramRun elsewhere = attempt(QStringLiteral("/dev/loop0"), QStringLiteral("0"));
    EXPECT_EQ(elsewhere.exitCode, 1);
    EXPECT_TRUE(elsewhere.err.contains("only at offset 104857600")) << elsewhere.err.constData();
    for (const QString &disk :
         QDir(QStringLiteral("/sys/block")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (disk.startsWith(QLatin1String("loop")) ||
            !QFileInfo::exists(QStringLiteral("/dev/") + disk))
            continue;
        const ProgramRun fixed = attempt(QStringLiteral("/dev/") + disk);
        EXPECT_EQ(fixed.exitCode, 1) << disk.toStdString();
        EXPECT_TRUE(fixed.err.contains("/dev/" + disk.toUtf8() + ": ")) << fixed.err.constData();
    }
}

TEST(DurnixPrivilege, SimulatedCardsServeOnlyWhenTheyAreSdCardsNotInUse)
{
    QTemporaryDir folder;
    if (const QString why = rootSandboxUnavailable(folder.path()); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QString helper = setUserIdCopy(durnix, folder.path());
    const QString image = sampleCardImage({"--seconds", "1"});
    const LoopDevice whole(image);
    const LoopDevice fat(image, {"-o", "1048576", "--sizelimit", "103809024"});
    const LoopDevice ext4(image, {"-o", offset});
    if (whole.device().isEmpty() || fat.device().isEmpty() || ext4.device().isEmpty())
        GTEST_SKIP() << "no loop devices here";

    const SimulatedDisk sdSlot{true, "SD", "0", {}, {}};
    const SimulatedDisk emmc{true, "MMC", "0", {}, {}};
    const SimulatedDisk reader{false, {}, "1", "USB3.0 CRW-SD", {}};
    const SimulatedDisk fixedDisk{false, {}, "0", "SD Reader", {}};
    const SimulatedDisk usbStick{false, {}, "1", "Cruzer Blade", {}};
    const SimulatedDisk mapped{true, "SD", "0", {}, "dm-0"};
    const struct
    {
        const char *what;
        SimulatedDisk disk;
        QString device;
        QString mounts; // shell commands run in the namespace first
        int exitCode;
        const char *says;
    } cases[] = {
        {"an SD card in a built-in slot", sdSlot, whole.device(), {}, 0, ""},
        {"an SD card in a USB reader", reader, whole.device(), {}, 0, ""},
        {"built-in eMMC", emmc, whole.device(), {}, 1, "built-in storage on the mmc bus"},
        {"a fixed disk", fixedDisk, whole.device(), {}, 1, "not a removable SD card"},
        {"a USB stick", usbStick, whole.device(), {}, 1, "not a removable SD card"},
        {"a disk under device mapper", mapped, whole.device(), {}, 1, "in use by dm-0"},
        {"a card partition", sdSlot, ext4.device(), {}, 1, "a partition, not a whole disk"},
        {"a card with its ext4 mounted", sdSlot, whole.device(),
         QStringLiteral("mkdir -p /tmp/ext4-%1 && mount -o ro %2 /tmp/ext4-%1")
             .arg(getpid())
             .arg(ext4.device()),
         1, "p2 is mounted or in use"},
        {"a card with its FAT volume mounted under /media", sdSlot, whole.device(),
         QStringLiteral("mount -t tmpfs none /media && mkdir '/media/NO NAME' && "
                        "mount -o ro %1 '/media/NO NAME'")
             .arg(fat.device()),
         0, ""},
    };
    const bool fatMounts = readFile(QStringLiteral("/proc/filesystems")).contains("\tvfat\n");
    for (const auto &c : cases) {
        if (c.mounts.contains(fat.device()) && !fatMounts)
            continue; // this kernel cannot mount the FAT volume
        QTemporaryDir sys;
        const QString disk = simulatedSysfs(sys.path(), whole, c.disk, {&fat, &ext4});
        QString script = standInSysfs(disk, whole);
        script += QStringLiteral(" && ln -s '%1/%2p2' /sys/dev/block/%3")
                      .arg(disk, whole.name(), ext4.number());
        if (!c.mounts.isEmpty())
            script += QStringLiteral(" && ") + c.mounts;
        script += QStringLiteral(" && exec \"$@\"");
        const ProgramRun r =
            runWithPrivateMounts(script, asNobody(helper, {"ls", c.device, offset, "cfg"}));
        EXPECT_EQ(r.exitCode, c.exitCode) << c.what << ": " << r.err.constData();
        EXPECT_TRUE(r.err.contains(c.says)) << c.what << ": " << r.err.constData();
        EXPECT_EQ(r.out.contains(" bbox.ini "), c.exitCode == 0) << c.what;
    }

    // In use where this process cannot see it: reached through a loop device set up over the
    // card.
    const QString onlySysfs =
        simulatedSysfs(folder.filePath(QStringLiteral("sys-in-use")), whole, sdSlot, {&fat, &ext4});
    const auto listCard = [&] {
        return runWithPrivateMounts(standInSysfs(onlySysfs, whole) +
                                        QStringLiteral(" && exec \"$@\""),
                                    asNobody(helper, {"ls", whole.device(), offset, "cfg"}));
    };
    {
        const LoopDevice overTheCard(whole.device(), {"-o", offset});
        ASSERT_FALSE(overTheCard.device().isEmpty());
        const ProgramRun looped = listCard();
        EXPECT_EQ(looped.exitCode, 1);
        EXPECT_TRUE(looped.err.contains("in use by " + overTheCard.name().toUtf8()))
            << looped.err.constData();
    }
    {
        // Any user may mount a tmpfs whose source reads like the card in a namespace of their
        // own: that is no use of the card, and must not lock everyone out of it.
        QProcess decoy;
        const QStringList line =
            asNobody(QStringLiteral("unshare"),
                     {"-Urm", "sh", "-c",
                      QStringLiteral("mount -t tmpfs %1 /mnt && echo mounted && exec sleep 60")
                          .arg(whole.device())});
        decoy.start(line.first(), line.mid(1));
        if (decoy.waitForReadyRead(10000)) {
            const ProgramRun served = listCard();
            EXPECT_EQ(served.exitCode, 0) << served.err.constData();
        }
        decoy.kill();
        decoy.waitForFinished();
    }
    EXPECT_EQ(listCard().exitCode, 0) << "once nothing uses it, the card serves again";

    // Served, it still writes only where its caller may: its rights are gone before the copy.
    const ProgramRun stolen = runWithPrivateMounts(
        standInSysfs(onlySysfs, whole) + QStringLiteral(" && exec \"$@\""),
        asNobody(helper, {"read", whole.device(), offset, "cfg/bbox.ini", "/root/stolen"}));
    EXPECT_EQ(stolen.exitCode, 1) << stolen.err.constData();
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/root/stolen")));
}

namespace {

// The sysfs of an SD card in a built-in slot whose FAT volume and ext4 file system are loop
// devices of their own, the card as a whole a third one.
struct SimulatedSdCard
{
    explicit SimulatedSdCard(const QString &folder)
        : image(sampleCardImage({"--seconds", "1"})), whole(image),
          fat(image, {"-o", "1048576", "--sizelimit", "103809024"}), ext4(image, {"-o", offset}),
          sysfs(simulatedSysfs(folder, whole, {true, "SD", "0", {}, {}}, {&fat, &ext4}))
    {
    }
    bool ready() const
    {
        return !whole.device().isEmpty() && !fat.device().isEmpty() && !ext4.device().isEmpty();
    }
    // `line` run where /sys/dev/block shows the card.
    ProgramRun run(const QStringList &line) const
    {
        return runWithPrivateMounts(standInSysfs(sysfs, whole) + QStringLiteral(" && exec \"$@\""),
                                    line);
    }

    QString image;
    LoopDevice whole, fat, ext4;
    QString sysfs;
};

} // namespace

// Set-user-ID root for the group plugdev alone: a user outside it cannot even start durnix, so
// a card someone else put in is not theirs to read.
TEST(AccessDurnix, OnlyThePlugdevGroupMayRunTheSetUserIdDurnix)
{
    QTemporaryDir folder;
    if (const QString why = rootSandboxUnavailable(folder.path()); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const std::optional<gid_t> plugdev = groupId(QStringLiteral("plugdev"));
    if (!plugdev)
        GTEST_SKIP() << "no group plugdev here";
    const QString helper = setUserIdCopy(durnix, folder.path(), *plugdev, 04750);
    ASSERT_FALSE(helper.isEmpty());
    const SimulatedSdCard card(folder.filePath(QStringLiteral("sys")));
    if (!card.ready())
        GTEST_SKIP() << "no loop devices here";

    const ProgramRun outsider =
        card.run(asNobody(helper, {"ls", card.whole.device(), offset, "cfg"}));
    EXPECT_NE(outsider.exitCode, 0);
    EXPECT_TRUE(outsider.err.contains("Permission denied")) << outsider.err.constData();
    EXPECT_FALSE(outsider.out.contains("bbox.ini"));

    const ProgramRun member =
        card.run(asNobody(helper, {"ls", card.whole.device(), offset, "cfg"}, {*plugdev}));
    EXPECT_EQ(member.exitCode, 0) << member.err.constData();
    EXPECT_TRUE(member.out.contains(" bbox.ini ")) << member.out.constData();

    // A descriptor handed in is read with the caller's rights alone: root's folder stays shut.
    const ProgramRun handed = runWithPrivateMounts(
        QStringLiteral("exec 3<\"$1\" && shift && exec \"$@\""),
        QStringList{card.image} +
            asNobody(helper, {"read", "--fd", "3", offset, "cfg/bbox.ini", "/root/stolen"},
                     {*plugdev}));
    EXPECT_EQ(handed.exitCode, 1) << handed.err.constData();
    EXPECT_TRUE(handed.err.contains("/root/stolen")) << handed.err.constData();
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/root/stolen")));
}

// A mount namespace can outlive every process in it (kept by a bind mount of its file): the
// ext4 mounted there still uses the card, and the kernel, asked for the card exclusively, says so.
TEST(AccessDurnix, ACardMountedInANamespaceWithoutAProcessIsInUse)
{
    QTemporaryDir folder;
    if (const QString why = rootSandboxUnavailable(folder.path()); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QString helper = setUserIdCopy(durnix, folder.path());
    const SimulatedSdCard card(folder.filePath(QStringLiteral("sys")));
    if (!card.ready())
        GTEST_SKIP() << "no loop devices here";
    const QString kept = folder.filePath(QStringLiteral("kept"));
    ASSERT_TRUE(QDir().mkpath(kept));
    const QString holder = kept + QStringLiteral("/mnt-namespace");
    writeFile(holder, {});
    const auto release = qScopeGuard([&] {
        run(QStringLiteral("/bin/sh"),
            {"-c",
             QStringLiteral("nsenter --mount=\"$2\" umount -R /mnt; umount \"$2\"; umount \"$1\""),
             "sh", kept, holder});
    });
    // The namespace's file must sit on a private mount to be bound there.
    const ProgramRun keep =
        run(QStringLiteral("/bin/sh"),
            {"-c",
             QStringLiteral("mount --bind \"$1\" \"$1\" && mount --make-private \"$1\" && "
                            "unshare --mount=\"$2\" --propagation private /bin/sh -c "
                            "'mount -t tmpfs none /mnt && mkdir /mnt/card && mount -o ro \"$1\" "
                            "/mnt/card' sh \"$3\""),
             "sh", kept, holder, card.ext4.device()});
    ASSERT_EQ(keep.exitCode, 0) << keep.err.constData();

    const ProgramRun inUse = card.run(asNobody(helper, {"ls", card.whole.device(), offset, "cfg"}));
    EXPECT_EQ(inUse.exitCode, 1) << inUse.out.constData();
    EXPECT_TRUE(inUse.err.contains("p2 is mounted or in use")) << inUse.err.constData();
    EXPECT_FALSE(inUse.out.contains("bbox.ini"));
}
