#pragma once

#include <QByteArray>
#include <QString>

namespace korvane {

// Appends a top-level "free" box holding `payload` to the MP4 file at `path`. Players skip free
// boxes; the metadata scan reads through them, so a rebuilt recording keeps the dashcam's frames
// this way. False when the file could not be written whole.
bool appendFreeBox(const QString &path, const QByteArray &payload);

} // namespace korvane
