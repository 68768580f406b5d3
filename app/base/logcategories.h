#pragma once

#include <QLoggingCategory>

namespace korvane {

// The log's categories, for QT_LOGGING_RULES ("korvane.card.info=false" silences the card's
// lines). Each line keeps the tag of the part that writes it ("[FileExtractor] ..."): the log's
// readers search for those texts.
Q_DECLARE_LOGGING_CATEGORY(logCard)     // korvane.card: tools, the card, its files, clips
Q_DECLARE_LOGGING_CATEGORY(logPlayback) // korvane.playback: the player
Q_DECLARE_LOGGING_CATEGORY(logModel)    // korvane.model: opening, copying, saving recordings
Q_DECLARE_LOGGING_CATEGORY(logWindow)   // korvane.window: the window's life

} // namespace korvane
