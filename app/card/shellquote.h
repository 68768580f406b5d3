#pragma once

#include <QString>

namespace korvane {

// One argument of a shell command line, whatever it holds: the text in single quotes, each
// embedded single quote written as '\''. Card names are data anyone could have written, so every
// argument that comes from data goes through here.
QString shellQuoted(QStringView text);

} // namespace korvane
