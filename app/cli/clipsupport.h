#pragma once

#include "card/clipexport.h"
#include "card/toolset.h"
#include "services/evidencereport.h"

#include <QString>

namespace korvane::cli {

// What clip takes besides its span.
struct ClipOptions
{
    int channel = 0; // a camera from 1; 0 for every one
    bool caption = false;
    ClipLayout layout = ClipLayout::tracks;
    bool report = false;
};

// Cancelled by Ctrl+C, a closed terminal or a kill from the first call on: ffmpeg runs in a
// process group of its own and would not hear them, so they end it here, and the clip's
// half-made files go with it.
ShellCancel clipInterruption();

// The exit status of a clip, its path printed or why not told; `source` and `span` name what was
// cut in the messages.
int clipOutcome(const ClipResult &result, const QString &source, const QString &span,
                const QString &output, int channel);

// The evidence report beside a saved clip, its path printed; the exit status.
int reportBeside(const ToolSet &tools, const QString &clip, const QList<EvidenceSource> &sources);

} // namespace korvane::cli
