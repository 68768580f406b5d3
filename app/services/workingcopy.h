#pragma once

#include "records/filelistitem.h"

#include <QString>

namespace korvane {

class ProcessManager;

// The working folder's copy of a row: under the card's own path, or for a file the user picked
// under "work/picked/<type>/".
QString localCopy(const FileListItem &item);
// Whether the working folder holds the copy Korvane made of the row (from the card, or of the
// file the user picked), unchanged: only such a copy is played or saved as the row.
bool hasOwnCopy(const ProcessManager &card, const FileListItem &item);

} // namespace korvane
