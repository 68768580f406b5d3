#pragma once

#include <QMap>
#include <QString>

namespace korvane {

// The dashcam's settings: key text to value text. A map, so that written files list keys sorted.
using Settings = QMap<QString, QString>;

// What ends a line of a settings file: every newline character.
bool isLineBreak(QChar c);

// The key=value lines of a "bbox.ini" or "bbox.cfg"; any other line is skipped.
Settings parseSettings(QStringView text);

// The text of a "bbox.cfg": "[bbox]", then one key=value line per setting, sorted by key.
QString formatSettings(const Settings &settings);

} // namespace korvane
