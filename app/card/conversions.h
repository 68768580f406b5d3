#pragma once

#include "records/mediarecords.h"

#include <QCoroTask>
#include <QList>
#include <QString>

#include <optional>

namespace korvane {

class ToolSet;

// The ffmpeg and salvex runs that make a recording playable or savable, with the tools of one
// tool set. Each deletes its output first and runs its tool through the shell; main thread.
class Conversions
{
public:
    explicit Conversions(const ToolSet &tools) : m_tools(tools) {}

    // The remux gives "Failed to remux MP4 file." without an output, ffmpeg's parameter-set
    // complaints when there are any, else nothing.
    QCoro::Task<std::optional<QString>> remuxVideo(QString input, QString output) const;
    QCoro::Task<> convertAudio(QString input, QString output) const;
    QCoro::Task<> extractChannelWithAudio(QString input, int channel, QString output) const;
    QCoro::Task<> extractChannel(QString input, int channel, QString output) const;
    QCoro::Task<> mergeAudio(QString video, QString audio, QString output) const;
    // False when the recording has no channel table (salvex is then not run).
    QCoro::Task<bool> recoverVideo(QString input, QString output) const;
    // Why Korvane's own player would not show `path` (korvane-playcheck asked, from the tools
    // that come with the viewer); nothing when every camera shows its first picture.
    QCoro::Task<std::optional<QString>> playerProblem(QString path) const;

    // ffmpeg's "sps_id N out of range" / "pps_id N out of range" lines, sorted and without
    // duplicates, joined by line breaks; nothing when there are none.
    static std::optional<QString> findParameterSetErrors(const QString &text);
    // " --ch1 1920x1080@30 --ch2 ..." for salvex, one option per channel of the table.
    static QString salvexChannelOptions(const QList<VideoChannel> &channels);
    // The channel table of a local recording; nothing (logged) when it has none.
    static std::optional<QList<VideoChannel>> getVideoInfo(const QString &path);

private:
    QCoro::Task<> runFfmpeg(QString output, QString arguments) const;

    const ToolSet &m_tools;
};

} // namespace korvane
