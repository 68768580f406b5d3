#pragma once

#include <QString>

namespace korvane::cli {

// Each returns the exit status: 0 done, 1 failed (with the message written).
int printMetadata(const QString &path);
int printGpx(const QString &path);
// `type` is a recording folder name, or empty for every folder.
int printCardList(const QString &card, const QString &type, bool showProgress);
int setUp();

} // namespace korvane::cli
