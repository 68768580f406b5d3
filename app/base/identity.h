#pragma once

#include <QString>

namespace korvane {

// The viewer's own name, version and build number, fixed when it was built.
QString appName();
QString appVersion();
QString appBuild();

} // namespace korvane
