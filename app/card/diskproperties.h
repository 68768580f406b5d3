#pragma once

#include <QString>

#include <map>
#include <string>

struct udev_device;

namespace korvane {

// What the card monitor knows of a disk.
struct DiskProperties
{
    QString kernelName; // "sdb", "mmcblk0"
    bool wholeDisk = false;
    bool removable = false;
    bool onMmcBus = false; // a built-in SD slot, or built-in eMMC storage
    bool hasMedia = false; // a card reader with no card in it has none
    QString model;
    QString mmcType; // on the mmc bus: "SD" for a card, "MMC" for built-in eMMC
    std::map<std::string, std::string> driveProperties; // udev's ID_DRIVE_* flags
};

// An SD card: a whole disk on the mmc bus whose card type is "SD" (built-in eMMC is not a
// card), or a removable whole disk that identifies itself as an SD card reader (by udev's
// flash-card flags or its model's words; see identifiesAsCardReader).
bool isSdCard(const DiskProperties &disk);

DiskProperties diskProperties(udev_device *device);

} // namespace korvane
