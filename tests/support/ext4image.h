#pragma once

#include <QString>

namespace korvane::test {

// A card image made the way nobody of Korvane makes one: mke2fs writes an ext4 file system of
// the folder `tree` at the card's offset (104857600) of `image`, `bytes` large (0: room enough
// for the tree). No partition table and no FAT: tests hand the volume over as a folder. Fails
// the current test when mke2fs fails.
void writeExt4Card(const QString &tree, const QString &image, qint64 bytes = 0);

} // namespace korvane::test
