#include "base/logcategories.h"

namespace korvane {

Q_LOGGING_CATEGORY(logCard, "korvane.card")
Q_LOGGING_CATEGORY(logPlayback, "korvane.playback")
Q_LOGGING_CATEGORY(logModel, "korvane.model")
Q_LOGGING_CATEGORY(logWindow, "korvane.window")

} // namespace korvane
