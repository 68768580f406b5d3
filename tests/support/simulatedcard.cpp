#include "simulatedcard.h"

#include "testfiles.h"

#include <QDir>
#include <QFile>

namespace korvane::test {

LoopDevice::LoopDevice(const QString &image, const QStringList &window)
{
    const ProgramRun r = run(QStringLiteral("losetup"),
                             QStringList{"-f", "--show", "-r"} + window + QStringList{image});
    if (r.exitCode == 0)
        m_device = QString::fromUtf8(r.out).trimmed();
}

LoopDevice::~LoopDevice()
{
    if (!m_device.isEmpty())
        run(QStringLiteral("losetup"), {"-d", m_device});
}

QString LoopDevice::name() const
{
    return m_device.section(QLatin1Char('/'), -1);
}

QString LoopDevice::number() const
{
    return QString::fromUtf8(readFile(QStringLiteral("/sys/class/block/%1/dev").arg(name())))
        .trimmed();
}

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

QString standInSysfs(const QString &diskFolder, const LoopDevice &whole)
{
    return QStringLiteral("mount -t tmpfs none /sys/dev/block && ln -s '%1' /sys/dev/block/%2")
        .arg(diskFolder, whole.number());
}

} // namespace korvane::test
