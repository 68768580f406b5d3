#pragma once

#include "card/toolset.h"
#include "cli/clipsupport.h"
#include "cli/output.h"
#include "services/playablefile.h"

#include <QString>
#include <QTemporaryDir>

#include <optional>

namespace korvane::cli {

// Each returns the exit status: 0 done, 1 failed (with the message written).
int printMetadata(const QString &path);
int printGpx(const QString &path);
enum class CardListing
{
    recordings,
    drives,
    drivesJson
};
// `type` is a recording folder name, or empty for every folder.
int printCardList(const QString &card, const QString &type, CardListing listing, bool showProgress);
int setUp();
// A recording made playable as opening it in the viewer does, written to `output`.
int repairRecording(const QString &input, const QString &output, bool showProgress);
// The card's recordings of one type ("all" for every one) saved into `folder` as the viewer's
// download does; channel 0 saves them whole.
int saveCard(const QString &card, const QString &folder, const QString &type, int channel,
             bool showProgress);

// An evidence clip of `input` from `from` to `to` seconds written to `output`: camera
// `options.channel` (from 1) or every camera (0), with the sound; copied as recorded, or with the
// caption burned in, or every camera composed into one picture.
int clipRecording(const QString &input, const QString &output, double from, double to,
                  const ClipOptions &options, bool showProgress);
// An evidence clip from `from` to `to` on the dashcam's clock, cut from the recordings of a card
// (device or image) or a folder of saved recordings and joined, written to `output`.
int clipSpan(const QString &source, const QString &output, const QDateTime &from,
             const QDateTime &to, const ClipOptions &options, bool showProgress);

// Why OUTPUT cannot be written: its folder missing, it is a folder or a device, or it is the
// INPUT itself; nothing when it can.
std::optional<QString> outputProblem(const QString &input, const QString &output);
// The first steps of the commands that work on what the viewer plays: INPUT readable, OUTPUT
// writable, the tools ready, and INPUT made playable in `scratch` as opening it in the viewer
// does. Nothing, with the reason told, when a step fails.
std::optional<PlayableFile> playableInput(const QString &input, const QString &output,
                                          ToolSet &tools, const QTemporaryDir &scratch,
                                          ProgressLine &progress);

// Why a recording cannot be read, in the words of the file system; nothing when it can.
std::optional<QString> unreadableRecording(const QString &path);

} // namespace korvane::cli
