// A set-user-ID root durnix started by any user: it may read SD cards and nothing else, at the
// card offset only, and learn nothing for its caller about paths only root can see. Cards are
// simulated with loop devices over a sample card image, given the sysfs entries of an SD card,
// a card reader or built-in eMMC in a private mount namespace.
#include "rootsandbox.h"
#include "samplerecordings.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace korvane::test;

namespace {

const QString durnix = QStringLiteral(DURNIX_PATH);
const QString offset = QStringLiteral("104857600");

// A loop device over (part of) an image, read-only, detached at the end of the test.
class LoopDevice
{
public:
    explicit LoopDevice(const QString &image, const QStringList &window = {})
    {
        const ProgramRun r = run(QStringLiteral("losetup"),
                                 QStringList{"-f", "--show", "-r"} + window + QStringList{image});
        if (r.exitCode == 0)
            m_device = QString::fromUtf8(r.out).trimmed();
    }
    ~LoopDevice()
    {
        if (!m_device.isEmpty())
            run(QStringLiteral("losetup"), {"-d", m_device});
    }
    QString device() const { return m_device; }
    QString name() const { return m_device.section(QLatin1Char('/'), -1); }
    QString number() const
    {
        return QString::fromUtf8(readFile(QStringLiteral("/sys/class/block/%1/dev").arg(name())))
            .trimmed();
    }

private:
    QString m_device;
};

struct SimulatedDisk
{
    bool onMmc = false;
    QString mmcType;   // on the mmc bus
    QString removable; // elsewhere
    QString model;
    QString holder; // a device mapper or RAID device built on it
};

// The sysfs folder of a disk as the kernel lays it out, for `disk` named `name` with device
// number `number` and one partition per loop device in `partitions`.
QString simulatedSysfs(const QString &root, const LoopDevice &whole, const SimulatedDisk &disk,
                       const QList<const LoopDevice *> &partitions)
{
    const QString device = disk.onMmc
                               ? root + QStringLiteral("/devices/platform/mmc_host/mmc0/mmc0:aaaa")
                               : root + QStringLiteral("/devices/pci0000:00/usb1/1-1/host6/"
                                                       "target6:0:0/6:0:0:0");
    const QString folder = device + QStringLiteral("/block/") + whole.name();
    QDir().mkpath(folder + QStringLiteral("/holders"));
    writeFile(folder + QStringLiteral("/dev"), whole.number().toUtf8() + '\n');
    writeFile(folder + QStringLiteral("/removable"), disk.removable.toUtf8() + '\n');
    writeFile(device + (disk.onMmc ? QStringLiteral("/type") : QStringLiteral("/model")),
              (disk.onMmc ? disk.mmcType : disk.model).toUtf8() + '\n');
    QFile::link(QStringLiteral("../.."), folder + QStringLiteral("/device"));
    if (!disk.holder.isEmpty())
        writeFile(folder + QStringLiteral("/holders/") + disk.holder, {});
    int index = 1;
    for (const LoopDevice *partition : partitions) {
        const QString part = folder + QStringLiteral("/%1p%2").arg(whole.name()).arg(index);
        QDir().mkpath(part + QStringLiteral("/holders"));
        writeFile(part + QStringLiteral("/partition"), QByteArray::number(index++) + '\n');
        writeFile(part + QStringLiteral("/dev"), partition->number().toUtf8() + '\n');
    }
    return folder;
}

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
    EXPECT_EQ(first.exitCode, 2);
    EXPECT_TRUE(first.err.contains("only a device named /dev/NAME")) << first.err.constData();
    for (const QString &path :
         {secret, folder.filePath(QStringLiteral("missing.img")),
          QStringLiteral("/dev/../") + secret.mid(1), QStringLiteral("/dev/shm/../..") + secret}) {
        const ProgramRun r = attempt(path);
        EXPECT_EQ(r.exitCode, 2) << path.toStdString();
        EXPECT_EQ(r.err, first.err) << path.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }

    // Not a block device, another offset, a fixed disk of this machine.
    EXPECT_TRUE(attempt(QStringLiteral("/dev/null")).err.contains("not a block device"));
    const ProgramRun elsewhere = attempt(QStringLiteral("/dev/loop0"), QStringLiteral("0"));
    EXPECT_EQ(elsewhere.exitCode, 2);
    EXPECT_TRUE(elsewhere.err.contains("only at offset 104857600")) << elsewhere.err.constData();
    for (const QString &disk :
         QDir(QStringLiteral("/sys/block")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (disk.startsWith(QLatin1String("loop")) ||
            !QFileInfo::exists(QStringLiteral("/dev/") + disk))
            continue;
        const ProgramRun fixed = attempt(QStringLiteral("/dev/") + disk);
        EXPECT_EQ(fixed.exitCode, 2) << disk.toStdString();
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
        {"built-in eMMC", emmc, whole.device(), {}, 2, "built-in storage on the mmc bus"},
        {"a fixed disk", fixedDisk, whole.device(), {}, 2, "not a removable SD card"},
        {"a USB stick", usbStick, whole.device(), {}, 2, "not a removable SD card"},
        {"a disk under device mapper", mapped, whole.device(), {}, 2, "in use by dm-0"},
        {"a card partition", sdSlot, ext4.device(), {}, 2, "a partition, not a whole disk"},
        {"a card with its ext4 mounted", sdSlot, whole.device(),
         QStringLiteral("mkdir -p /tmp/ext4-%1 && mount -o ro %2 /tmp/ext4-%1")
             .arg(getpid())
             .arg(ext4.device()),
         2, "holds a mounted ext4 file system"},
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
        QString script = QStringLiteral("mount -t tmpfs none /sys/dev/block && "
                                        "ln -s '%1' /sys/dev/block/%2")
                             .arg(disk, whole.number());
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

    // Served, it still writes only where its caller may: its rights are gone before the copy.
    const QString disk = simulatedSysfs(folder.filePath(QStringLiteral("sys")), whole, sdSlot, {});
    const ProgramRun stolen = runWithPrivateMounts(
        QStringLiteral("mount -t tmpfs none /sys/dev/block && ln -s '%1' /sys/dev/block/%2 && "
                       "exec \"$@\"")
            .arg(disk, whole.number()),
        asNobody(helper, {"read", whole.device(), offset, "cfg/bbox.ini", "/root/stolen"}));
    EXPECT_EQ(stolen.exitCode, 4) << stolen.err.constData();
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/root/stolen")));
}
