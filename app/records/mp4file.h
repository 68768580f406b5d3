#pragma once

#include "mp4/boxreader.h"

#include <QFile>

namespace korvane {

// The boxes of an open MP4 file, read as they are asked for: only the headers on the way, never
// the media data, however large the file.
mp4::box_reader mp4FileBoxes(QFile &file);

} // namespace korvane
