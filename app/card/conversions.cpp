#include "card/conversions.h"

#include "base/applog.h"
#include "card/shell.h"
#include "card/shellquote.h"
#include "card/toolset.h"
#include "card/workingfolder.h"
#include "records/metadataextraction.h"

#include <QRegularExpression>
#include <QSet>

namespace korvane {

namespace {
const QString aacSound = QStringLiteral("-c:a aac -ar 44100 -b:a 64k");
} // namespace

QCoro::Task<> Conversions::runFfmpeg(QString output, QString arguments) const
{
    WorkingFolder::deleteDirectory(output);
    co_await Shell::runAsync(
        m_tools.toolCommand(QStringLiteral("ffmpeg"),
                            arguments + QLatin1Char(' ') + shellQuoted(output)),
        [](const QString &) {});
}

QCoro::Task<std::optional<QString>> Conversions::remuxVideo(QString input, QString output) const
{
    WorkingFolder::deleteDirectory(output);
    QString text;
    // "-strict -1": the dashcam's sound is 8 kHz MP3, which ffmpeg puts into MP4 only when told
    // to; without it every recording with sound would fail to remux.
    const QString arguments = QStringLiteral("-i %1 -map 0 -c copy -strict -1 %2")
                                  .arg(shellQuoted(input), shellQuoted(output));
    co_await Shell::runAsync(m_tools.toolCommand(QStringLiteral("ffmpeg"), arguments),
                             [&](const QString &chunk) { text += chunk; });
    if (WorkingFolder::fileSize(output, false) == 0)
        co_return QStringLiteral("Failed to remux MP4 file.");
    co_return findParameterSetErrors(text);
}

QCoro::Task<> Conversions::convertAudio(QString input, QString output) const
{
    co_await runFfmpeg(
        output,
        QStringLiteral("-i %1 -map 0:v -map 0:a:0 -c:v copy %2").arg(shellQuoted(input), aacSound));
}

QCoro::Task<> Conversions::extractChannelWithAudio(QString input, int channel, QString output) const
{
    co_await runFfmpeg(output, QStringLiteral("-i %1 -map 0:v:%2 -map 0:a:0 -c:v copy %3")
                                   .arg(shellQuoted(input), QString::number(channel), aacSound));
}

QCoro::Task<> Conversions::extractChannel(QString input, int channel, QString output) const
{
    co_await runFfmpeg(output, QStringLiteral("-i %1 -map 0:v:%2 -c:v copy")
                                   .arg(shellQuoted(input), QString::number(channel)));
}

QCoro::Task<> Conversions::mergeAudio(QString video, QString audio, QString output) const
{
    co_await runFfmpeg(output, QStringLiteral("-i %1 -i %2 -map 0:v -map 1:a -c copy -shortest")
                                   .arg(shellQuoted(video), shellQuoted(audio)));
}

QCoro::Task<bool> Conversions::recoverVideo(QString input, QString output) const
{
    WorkingFolder::deleteDirectory(output);
    const std::optional<QList<VideoChannel>> channels = getVideoInfo(input);
    if (!channels)
        co_return false;
    const QString arguments = shellQuoted(input) + QLatin1Char(' ') + shellQuoted(output) +
                              QLatin1Char(' ') + salvexChannelOptions(*channels);
    co_await Shell::runAsync(m_tools.toolCommand(QStringLiteral("salvex"), arguments),
                             [](const QString &) {});
    co_return true;
}

std::optional<QString> Conversions::findParameterSetErrors(const QString &text)
{
    static const QRegularExpression complaint(
        QStringLiteral(R"((sps_id|pps_id) \d+ out of range)"));
    QSet<QString> found;
    for (auto it = complaint.globalMatch(text); it.hasNext();)
        found.insert(it.next().captured());
    if (found.isEmpty())
        return std::nullopt;
    QStringList lines(found.begin(), found.end());
    lines.sort();
    return lines.join(QLatin1Char('\n'));
}

QString Conversions::salvexChannelOptions(const QList<VideoChannel> &channels)
{
    QString options;
    for (qsizetype i = 0; i < channels.size(); ++i)
        options += QStringLiteral(" --ch%1 %2x%3@%4")
                       .arg(i + 1)
                       .arg(channels[i].width)
                       .arg(channels[i].height)
                       .arg(channels[i].fps);
    return options;
}

QCoro::Task<std::optional<QString>> Conversions::playerProblem(QString path) const
{
    const QString checker = m_tools.bundledTools() + QStringLiteral("korvane-playcheck");
    QString said;
    const int status =
        co_await Shell::runAsync(shellQuoted(checker) + QLatin1Char(' ') + shellQuoted(path),
                                 [&](const QString &chunk) { said += chunk; });
    if (status == 0)
        co_return std::nullopt;
    // Its answer is its last line: GStreamer may have warned on the way.
    const QStringList lines = said.trimmed().split(QLatin1Char('\n'));
    if (status == 1 && !lines.last().isEmpty())
        co_return lines.last().trimmed();
    appLog(logCard, "[ProcessManager] player check failed:", checker, status, said);
    co_return QStringLiteral("Korvane's player could not be asked whether it shows it");
}

std::optional<QList<VideoChannel>> Conversions::getVideoInfo(const QString &path)
{
    const MediaDataDecoding decoded = decodeMediaData(mediaRecordsJson(extractMediaRecords(path)));
    if (!decoded.records) {
        appLog(logCard, "[ProcessManager] getVideoInfo error:", decoded.error);
        return std::nullopt;
    }
    for (const MediaData &record : *decoded.records) {
        if (record.videoInfo)
            return record.videoInfo->channels;
    }
    return std::nullopt;
}

} // namespace korvane
