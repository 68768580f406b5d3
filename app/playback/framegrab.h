#pragma once

#include <QImage>
#include <QString>

namespace korvane {

// The picture of one video track at an exact time, decoded afresh from the file without any
// picture controls. Blocks while it decodes; a null image when it cannot be made.
QImage grabFrame(const QString &path, int track, double seconds);

} // namespace korvane
