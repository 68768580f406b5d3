#pragma once

#include <QString>

namespace korvane {

// The folder where the card's FAT volume is mounted: the mount point of a vfat or exfat
// partition of `cardDisk` in `mountInfo` (the text of /proc/self/mountinfo); empty when none.
QString cardVolumeFromMountInfo(const QString &mountInfo, const QString &cardDisk);

} // namespace korvane
