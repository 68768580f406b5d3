#pragma once

#include <QString>

struct udev_device;

namespace korvane {

// What the card monitor knows of a disk.
struct DiskProperties
{
    QString kernelName; // "sdb", "mmcblk0"
    bool wholeDisk = false;
    bool removable = false;
    bool onMmcBus = false; // a built-in SD slot
    bool hasMedia = false; // a card reader with no card in it has none
    QString model;
};

// An SD card: a whole disk that is removable and whose model text names "sd" or "storage" (any
// case), or any whole disk on the mmc bus, which only SD cards are.
bool isSdCard(const DiskProperties &disk);

DiskProperties diskProperties(udev_device *device);

} // namespace korvane
