#pragma once

#include <QString>
#include <QStringList>

namespace korvane::cli {

// One korvane-cli command line, read but not yet run.
struct CommandLine
{
    QString command;      // "metadata", "gpx", "card list" or "setup"
    QStringList operands; // the command's FILE or CARD
    QString type;         // card list --type: a recording folder name; empty for all
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
