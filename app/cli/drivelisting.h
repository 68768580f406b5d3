#pragma once

#include "records/drives.h"

#include <QByteArray>
#include <QList>

namespace korvane::cli {

// The drives of a card, one line each: start, end, length in whole seconds, recordings,
// events, and "driving" or "parking", separated by tabs.
QByteArray drivesText(const QList<Drive> &drives);

// The drives of a card as a JSON array, each with its recordings in time order.
QByteArray drivesJson(const QList<Drive> &drives);

} // namespace korvane::cli
