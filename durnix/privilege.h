#pragma once

#include <string>

namespace durnix {

// True when durnix runs with rights its caller does not have (set-user-ID or set-group-ID).
bool running_elevated();

// The device's own path under /dev when `path` names a whole-disk block device that is an SD card
// by the card monitor's rule (removable with a model text naming "sd" or "storage", or on the mmc
// bus); else empty, with the reason in `why`.
std::string accepted_card_device(const std::string &path, std::string *why);

// Gives up the elevated rights for good: supplementary groups, then group, then user; checked,
// and the process ends rather than go on with rights it should not have.
void drop_privileges();

} // namespace durnix
