#pragma once

#include <QList>
#include <QString>

namespace korvane {

struct CardEntry
{
    QString name; // as durnix lists it: octal escapes for blanks and unprintable bytes
    QString size; // as the listing wrote it
};

// The entries of a durnix "ls" output: lines with at least three fields split at blanks, the
// first a number (durnix's inode column), the second the name, the third the size; "." and ".."
// are not entries. Requiring the number keeps error text merged into the output ("durnix: cannot
// find ...", "bash: line 1: ...") from turning into recordings. Names stay in the listed form:
// handed back to durnix it names exactly that file, whatever bytes the card gave it, and as a
// local file name it holds no control character.
QList<CardEntry> parseCardListing(const QString &output);

// Whether a character of a card name can be shown as it is: printable and visible (no
// separator, no space but the plain one, no filler or joiner), no slash (a name holds none unless
// its folder is damaged) and no backslash (which starts an escape of the shown name).
bool isShownInCardName(char32_t c);

// A listed name as the user reads it: escapes of printable text (blanks, Hangul, ...) undone;
// control characters, invisible characters, backslashes and bytes that are not UTF-8 stay
// visible as their octal escapes, so two names never read alike.
QString readableCardName(const QString &listedName);

// The bytes of the name on the card: every escape of the listing one byte again.
QByteArray cardNameBytes(const QString &listedName);

// The number of camera channels a "bbox.ini" names: how many of "ch1_resol" to "ch5_resol" hold a
// whole number greater than 0.
int activeChannels(const QString &iniText);

} // namespace korvane
