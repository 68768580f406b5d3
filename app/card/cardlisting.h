#pragma once

#include <QList>
#include <QString>

namespace korvane {

struct CardEntry
{
    QString name;
    QString size; // as the listing wrote it
};

// The entries of a durnix "ls" output: lines with at least three fields split at blanks, the
// first a number (durnix's inode column), the second the name (with durnix's octal escapes for
// blanks and backslashes undone), the third the size; "." and ".." are not entries. Requiring the
// number keeps error text merged into the output ("durnix: cannot find ...", "bash: line 1: ...")
// from turning into recordings.
QList<CardEntry> parseCardListing(const QString &output);

// The number of camera channels a "bbox.ini" names: how many of "ch1_resol" to "ch5_resol" hold a
// whole number greater than 0.
int activeChannels(const QString &iniText);

} // namespace korvane
