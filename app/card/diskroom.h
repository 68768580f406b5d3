#pragma once

#include <QString>

namespace korvane {

// Whether `bytes` more on the disk that holds `folder` still leave the room Korvane keeps free
// on every disk it writes to: 2 GiB, or 5 % of a larger disk. True when the disk cannot be asked.
bool leavesRoom(const QString &folder, qint64 bytes);

} // namespace korvane
