#pragma once

#include "cardfs.h"

#include <string>
#include <vector>

namespace durnix {

// Copies a card file into the open, empty file `fd`: bytes as written on the card, holes made
// by seeking, the length set at the end. Throws system_error when the local file cannot be
// written and runtime_error when the card cannot be read.
void copy_to_descriptor(const card_fs &fs, const std::vector<std::string> &path, int fd);
// The same, salvaging: what cannot be read is zeros (holes), listed in `lost`.
void salvage_to_descriptor(const card_fs &fs, const std::vector<std::string> &path, int fd,
                           std::vector<lost_bytes> &lost);

} // namespace durnix
