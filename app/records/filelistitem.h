#pragma once

#include <QString>
#include <QUuid>

namespace korvane {

// Whether a recording of this file name is one the dashcam never finished (power lost while it
// recorded): its name ends in ".mov". The one rule wherever a recording is opened or saved.
bool isUnfinishedRecording(const QString &name);

// One recording of the list. `type` names its card folder, "mov/" + type + "/".
struct FileListItem
{
    QUuid id;
    QString type; // "normal", "event", "park", "manual" or "saved"
    QString name;
    qint64 size = 0; // as the card listing reports it
    qint64 read = 0; // of the copy in the working folder; 0 while there is none
    bool isChecked = false;
    bool isSelected = false;
    // A file the user picked on the computer (its copy is in the working folder's "picked/"),
    // not one of the card's.
    bool fromComputer = false;

    // The recording's time from its name ("_YYYYMMDD_HHMMSS"), as "2024/01/31 13:05:09"; "-"
    // when the name holds none.
    QString dateText() const;
    // "REC", "EVT", "PAK", "MAN" from the name's type marker ("N_", "E_", "P_", "M_"), "KEEP"
    // for a marked recording in the card's kept folder, or "".
    QString typeLabel() const;
    // The colour the list draws the label in: "red", "green", "yellow" or "blue";
    // "" for the text's own.
    QString typeColor() const;
    // A recording the dashcam never finished: it must be rebuilt before it plays.
    bool needsRebuild() const { return isUnfinishedRecording(name); }
    // "mov/" + type + "/" + name.
    QString cardPath() const;
};

// The type a picked file is listed under: the first of "normal", "event", "park", "manual" whose
// marker ("N_", "E_", "P_", "M_") its path holds; "saved" when none.
QString typeFromPath(const QString &path);

// Rows newest first by their date text, in the locale's order; equal dates keep their order.
void sortNewestFirst(QList<FileListItem> &rows);

} // namespace korvane
