#pragma once

#include "card/conversions.h"
#include "services/workingfiles.h"

#include <QCoroTask>

#include <functional>
#include <optional>

namespace korvane {

// A recording brought into a form the player plays.
struct PlayableFile
{
    bool ok = false; // false when the rebuild could not even start (no channel table)
    QString path;    // the file to play: `files.playing`, or `files.temp` without sound in AAC
    int audio = 0;   // sound tracks of the rebuilt or remuxed file
};

// What opening does to a recording before it plays: an unfinished one (isUnfinishedRecording)
// is rebuilt with salvex and its sound merged back; any other is remuxed, and rebuilt when
// ffmpeg complains of its parameter sets or writes nothing; then its sound becomes AAC.
// `rebuilding` hears the rebuild's progress text while it runs, then none. `where` names the
// recording in the log lines.
QCoro::Task<PlayableFile>
makePlayable(const Conversions &conversions, OpenFiles files, QString name, QString where,
             std::function<void(const std::optional<QString> &)> rebuilding);

// The progress text shown while a recording is rebuilt, in the user's language.
QString rebuildingMessage();

enum class TrackKind
{
    video,
    audio
};
// The file's video or sound tracks; 0 (logged) when it cannot be read as media.
int trackCount(const QString &path, TrackKind kind);

// salvex from `source` to `destination`, then the side file's sound merged in and made AAC.
// False only when salvex could not be run (the recording has no channel table).
QCoro::Task<bool> rebuildWithSound(const Conversions &conversions, QString source,
                                   QString destination);

// The sound salvex writes beside a rebuilt `destination`: its MPEG audio, as recorded.
QString sideSoundOf(const QString &destination);

// The side sound of a rebuilt `destination` merged into it and made AAC (the side file is then
// gone). True when `destination` carries the sound in AAC now.
QCoro::Task<bool> mergeSideSound(const Conversions &conversions, QString destination);

// Makes `files.playing` from `files.temp`: its sound in AAC, converted unless `soundInAac`
// says a rebuild made it so already (the file is then renamed, not encoded twice). Logs a
// recording without sound under `name`. Returns the file to play, as `makePlayable`.
QCoro::Task<PlayableFile> finishPlayable(const Conversions &conversions, OpenFiles files,
                                         QString name, bool soundInAac);

} // namespace korvane
