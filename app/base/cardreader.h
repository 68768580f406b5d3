#pragma once

#include <map>
#include <string>

namespace korvane {

// Whether a removable USB disk identifies itself as an SD card reader, from its model text (as
// the device or udev's ID_MODEL gives it) and its udev properties. A reader says so through the
// flash-card properties udev's rules set for known readers (ID_DRIVE_FLASH_SD,
// ID_DRIVE_MEDIA_FLASH_SD and their SDHC, SDXC and combo forms), or through a model naming the
// card: the word SD, SDHC, SDXC, microSD, MMC or CRW, or "card reader". Words count whole, so
// "Portable SSD", "USB Storage" or "Mass Storage Device" name no card reader. One rule for the
// viewer's card monitor and for durnix's own check.
bool identifiesAsCardReader(const std::string &model,
                            const std::map<std::string, std::string> &properties);

} // namespace korvane
