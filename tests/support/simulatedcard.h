#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace korvane::test {

// A loop device over (part of) an image, read-only, detached when it goes.
class LoopDevice
{
public:
    explicit LoopDevice(const QString &image, const QStringList &window = {});
    ~LoopDevice();
    LoopDevice(const LoopDevice &) = delete;
    LoopDevice &operator=(const LoopDevice &) = delete;

    QString device() const { return m_device; } // empty when none could be set up
    QString name() const;
    QString number() const; // "major:minor"

private:
    QString m_device;
};

// What sysfs says of a disk that the card monitor and durnix look at.
struct SimulatedDisk
{
    bool onMmc = false;
    QString mmcType;   // on the mmc bus: "SD" or "MMC"
    QString removable; // elsewhere: "1" or "0"
    QString model;
    QString holder; // a device mapper or RAID device built on it
};

// The sysfs folder of `whole` as the kernel lays it out for `disk`, below `root`, with one
// partition per loop device in `partitions`. Returns the disk's folder.
QString simulatedSysfs(const QString &root, const LoopDevice &whole, const SimulatedDisk &disk,
                       const QList<const LoopDevice *> &partitions = {});

// Shell commands for a private mount namespace that put `diskFolder` in /sys/dev/block as the
// entry of `whole`: what a program there reads of that device.
QString standInSysfs(const QString &diskFolder, const LoopDevice &whole);

} // namespace korvane::test
