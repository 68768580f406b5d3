#pragma once

#include <QString>

namespace korvane {

// Whether the MP4 at `path` holds a protected (encrypted) track: a sample entry "encv" or
// "enca" in its "moov". Its pictures or sound are then noise to any player without the key, and
// a copy of them stays so: nothing made of it plays.
bool hasProtectedTracks(const QString &path);

} // namespace korvane
