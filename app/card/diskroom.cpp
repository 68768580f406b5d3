#include "card/diskroom.h"

#include <QStorageInfo>

#include <algorithm>

namespace korvane {

namespace {
constexpr qint64 leastFreeBytes = qint64{2} << 30;
constexpr double leastFreeShare = 0.05;
} // namespace

bool leavesRoom(const QString &folder, qint64 bytes)
{
    const QStorageInfo disk(folder);
    if (!disk.isValid())
        return true;
    const auto least = std::max<qint64>(
        leastFreeBytes,
        static_cast<qint64>(static_cast<double>(disk.bytesTotal()) * leastFreeShare));
    return disk.bytesAvailable() - bytes >= least;
}

} // namespace korvane
