#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

namespace durnix {

// The one offset an elevated durnix reads at: where the dashcam keeps its ext4 file system.
constexpr uint64_t card_offset = 104857600;

// What durnix reads with elevated rights: a whole-disk SD card named /dev/NAME. Returns a
// read-only descriptor of it, or -1 with the reason in `why`. Nothing but /dev/NAME is looked
// up, so a refusal says nothing about other paths; the device is checked before it is opened
// (opening some devices has effects) and the descriptor is checked to be that same device.
int open_card_device(const std::string &path, std::string *why);

// Why the block device `device` is no SD card an elevated durnix may read, or "" when it is
// one: on the mmc bus only a card whose type is "SD" (never built-in eMMC); elsewhere a
// removable disk that identifies itself as an SD card reader; never a disk that a loop device
// is set up over, or that is, or has a partition, mounted or claimed (device mapper, RAID,
// swap) in any mount namespace, except its vfat/exFAT volume mounted under /media, /run/media
// or /mnt. Read from /sys/dev/block, udev's records and the kernel's exclusive open; the
// exclusive claims it gets are held until durnix ends.
std::string card_device_problem(dev_t device);

} // namespace durnix
