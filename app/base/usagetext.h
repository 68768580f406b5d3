#pragma once

#include <QString>

namespace korvane {

// What the viewer's programs print for --version: "korvane-cli (Korvane) 0.1.0, build 1".
QString versionLine(const QString &program);

// The usage lines of a --help text (up to its first blank line), then where the rest is: what a
// usage error shows after its problem.
QString synopsisOf(const QString &usage, const QString &program, const QString &rest);

} // namespace korvane
