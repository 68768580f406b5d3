#pragma once

#include <QString>
#include <QStringList>

namespace korvane {

// The viewer's command line: a card image to show as the inserted card, and the folder standing
// in for its FAT volume.
struct ViewerOptions
{
    QString cardImage;
    QString cardVolume;
    QString language; // "ko" or "en"; empty: English for an English system, else Korean
    bool help = false;
    bool version = false;
    QString problem; // what is wrong with the line, for a usage error; empty when it can run
};

// Reads the arguments after the program's name. Qt's own options (-platform ...) are left to Qt.
ViewerOptions parseViewerOptions(const QStringList &arguments);

QString viewerUsageText();
// The usage line and where the rest is: what a usage error shows after its problem.
QString viewerSynopsisText();
QString viewerVersionText();

} // namespace korvane
