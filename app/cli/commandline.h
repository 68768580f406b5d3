#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace korvane::cli {

// One korvane-cli command line, read but not yet run.
struct CommandLine
{
    QString command; // "metadata", "gpx", "repair", "clip", "card list", "card save" or "setup"
    QStringList operands; // the command's files, card and folder, in their order
    QString type;         // card list/save --type: a recording folder name, or "all"
    int channel = 0;      // card save and clip --channel: a camera from 1; 0 for all channels
    double from = -1;     // clip --from and --to: seconds of the recording, -1 when not given
    double to = -1;
    // clip --from and --to as the dashcam's clock ("2024-10-05 14:30:50"): a span across the
    // recordings of a card or a folder; invalid when given as seconds or not at all.
    QDateTime fromTime;
    QDateTime toTime;
    QString layout = QStringLiteral("tracks"); // clip --layout: tracks, grid or pip
    bool report = false;                       // clip --report
    bool caption = false; // clip --caption
    bool drives = false;  // card list --drives: the card's drives instead of its recordings
    bool json = false;    // card list --drives --json
    bool verbose = false;
    bool help = false;
    bool version = false;
    QString problem; // what is wrong with the line, for a usage error; empty when it can run
};

CommandLine parseCommandLine(const QStringList &arguments);

QString usageText();
// The usage lines alone, and where the rest is: what a usage error shows after its problem.
QString synopsisText();
QString versionText();

} // namespace korvane::cli
