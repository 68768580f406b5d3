// Evidence clips: a span of a recording cut with ffmpeg, copied as recorded or with a caption
// burned into every picture, made in the working folder and moved into place only when whole.
#include "card/clipexport.h"

#include "card/clipsteps.h"
#include "card/joinedclip.h"
#include "card/keyframes.h"
#include "card/shellquote.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace korvane {

namespace {

// Quoted once for ffmpeg's tokenizer: inside single quotes everything is literal, and a single
// quote itself is closed, escaped and reopened.
QString quotedOnce(QStringView text)
{
    QString quoted = QStringLiteral("'");
    for (const QChar c : text) {
        if (c == u'\'')
            quoted += QStringLiteral("'\\''");
        else
            quoted += c;
    }
    return quoted + QLatin1Char('\'');
}

// ffmpeg takes seconds with microseconds at most; a time is written rounded up to the next
// microsecond so that a key frame's own time seeks to that key frame, never to the one before.
QString secondsUp(double seconds)
{
    return QString::number(std::ceil(std::max(0.0, seconds) * 1e6) / 1e6, 'f', 6);
}

struct VideoTrack
{
    double firstPicture = 0; // the first packet after the seek, in seconds of the recording
    int height = 0;
};

// The video tracks as ffmpeg finds them after seeking to `from`: for each, the time of the first
// packet it would copy (a key frame) and the picture height. Read from ffmpeg's own packet list
// (framecrc): "#tb N: 1/15360", "#dimensions N: 1920x1080", then "N, dts, pts, ..." lines.
// The copy runs to just past `from`: every track's packets from its key frame on are listed (a
// "-frames:v 1" ends the listing with the first track's first packet, before the others').
QCoro::Task<QList<VideoTrack>> probeVideoTracks(const ToolSet &tools, QString input, double from,
                                                ShellCancel cancel)
{
    QString text;
    const QString command =
        shellQuoted(tools.helperRoot() + QStringLiteral("ffmpeg")) +
        QStringLiteral(" -nostdin -v error -ss %1 -i %2 -map 0:v -c copy -t 0.001 -f framecrc -")
            .arg(clipSecondsText(from), shellQuoted(input));
    co_await Shell::runAsync(
        command, [&](const QString &chunk) { text += chunk; }, cancel);

    QList<VideoTrack> tracks;
    QList<double> timeBases;
    static const QRegularExpression timeBase(QStringLiteral(R"(^#tb (\d+): (\d+)/(\d+)$)"),
                                             QRegularExpression::MultilineOption);
    static const QRegularExpression dimensions(
        QStringLiteral(R"(^#dimensions (\d+): (\d+)x(\d+)$)"), QRegularExpression::MultilineOption);
    static const QRegularExpression packet(QStringLiteral(R"(^(\d+),\s*(-?\d+),\s*(-?\d+),)"),
                                           QRegularExpression::MultilineOption);
    for (auto it = timeBase.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const double denominator = m.captured(3).toDouble();
        if (m.captured(1).toInt() != tracks.size() || denominator <= 0)
            co_return QList<VideoTrack>{};
        timeBases.append(m.captured(2).toDouble() / denominator);
        tracks.append({std::nan(""), 0});
    }
    for (auto it = dimensions.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (const int index = m.captured(1).toInt(); index < tracks.size())
            tracks[index].height = m.captured(3).toInt();
    }
    for (auto it = packet.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const int index = m.captured(1).toInt();
        // The packet times count from the seek point.
        if (index < tracks.size() && std::isnan(tracks[index].firstPicture))
            tracks[index].firstPicture = from + m.captured(3).toDouble() * timeBases[index];
    }
    co_return tracks;
}

} // namespace

QString filterValue(QStringView text)
{
    return quotedOnce(quotedOnce(text));
}

QCoro::Task<std::optional<QString>> hangulFont()
{
    static const QStringList known{
        QStringLiteral("/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc"),
        QStringLiteral("/usr/share/fonts/opentype/noto/NotoSansCJKkr-Regular.otf"),
        QStringLiteral("/usr/share/fonts/noto-cjk/NotoSansCJK-Regular.ttc"),
        QStringLiteral("/usr/share/fonts/google-noto-cjk/NotoSansCJK-Regular.ttc"),
        QStringLiteral("/usr/share/fonts/truetype/nanum/NanumGothic.ttf"),
        QStringLiteral("/usr/share/fonts/nanum/NanumGothic.ttf"),
    };
    for (const QString &path : known) {
        if (QFileInfo(path).isFile())
            co_return path;
    }
    QString listed;
    co_await Shell::runAsync(QStringLiteral("fc-list --format '%{file}\\n' :lang=ko 2>/dev/null"),
                             [&](const QString &chunk) { listed += chunk; });
    QStringList files = listed.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    files.sort();
    for (const QString &path : std::as_const(files)) {
        if (QFileInfo(path).isFile())
            co_return path;
    }
    co_return std::nullopt;
}

QCoro::Task<ClipResult> exportClip(const ToolSet &tools, ClipRequest request,
                                   std::function<void(int percent)> progress, ShellCancel cancel)
{
    ClipResult result;
    result.path = request.destination;
    const auto finish = [&](ClipResult::Outcome outcome, const QString &detail = {}) {
        return clipNotMade(result, outcome, detail, cancel);
    };

    // Nothing of the recording lies past its end: a span that starts there has no picture, and
    // one that runs past it ends with it.
    if (!(request.from < request.end))
        co_return finish(ClipResult::Outcome::nothingToCut,
                         QStringLiteral("no picture from %1 s: the recording ends at %2 s")
                             .arg(clipSecondsText(request.from), clipSecondsText(request.end)));
    request.to = std::min(request.to, request.end);
    if (request.layout != ClipLayout::tracks) {
        JoinedClipRequest composed;
        composed.pieces = {{request.input, request.from, request.to}};
        composed.layout = request.layout;
        composed.captions = request.captions;
        composed.destination = request.destination;
        QCoro::Task<ClipResult> composing =
            exportJoinedClip(tools, std::move(composed), std::move(progress), cancel);
        co_return co_await composing;
    }

    std::optional<QString> font;
    if (request.captions) {
        font = co_await hangulFont();
        if (!font)
            co_return finish(ClipResult::Outcome::noFont, QStringLiteral("no font with Hangul"));
    }
    // A copy starts on the key frame the file's index names; the captions need every camera's
    // picture height, and a file without a readable index its key frames, from ffmpeg itself.
    std::optional<QList<QList<double>>> indexed;
    if (!request.captions)
        indexed = videoKeyFrames(request.input);
    QList<VideoTrack> tracks;
    if (indexed) {
        for (const QList<double> &keys : std::as_const(*indexed)) {
            VideoTrack track{std::nan(""), 0};
            for (const double key : keys) {
                if (key <= request.from + 1e-6 || std::isnan(track.firstPicture))
                    track.firstPicture = key;
            }
            tracks.append(track);
        }
    } else {
        tracks = co_await probeVideoTracks(tools, request.input, request.from, cancel);
    }
    if (cancel.isCancelled())
        co_return finish(ClipResult::Outcome::cancelled);
    if (tracks.isEmpty())
        co_return finish(ClipResult::Outcome::nothingToCut,
                         QStringLiteral("no picture in %1 from %2 s")
                             .arg(request.input, clipSecondsText(request.from)));
    if (request.track >= tracks.size())
        co_return finish(ClipResult::Outcome::noSuchChannel,
                         QStringLiteral("no video track %1").arg(request.track + 1));
    QList<int> kept;
    for (int t = 0; t < tracks.size(); ++t) {
        if (request.track < 0 || request.track == t)
            kept.append(t);
    }
    const VideoTrack &leading = tracks[kept.first()];
    if (std::isnan(leading.firstPicture) || leading.firstPicture >= request.to)
        co_return finish(ClipResult::Outcome::nothingToCut,
                         QStringLiteral("no picture between %1 s and %2 s")
                             .arg(clipSecondsText(request.from), clipSecondsText(request.to)));

    // Encoded anew with captions: the seek is exact, the clip starts at `from` and the captions'
    // times count from there. Copied as recorded: the seek goes to the leading track's key frame
    // itself, so that the clip starts on it (not at `from`, where the first picture could not be
    // decoded). Each other track then starts on its own key frame at or before that one; the
    // pictures before the start stay in the file for decoding and the MP4's edit lists hide
    // them, so every track and the sound begin together at the key frame.
    result.start = request.captions ? request.from : leading.firstPicture;
    const double duration = request.to - result.start;
    const auto arguments = [&](const QString &folder) -> QString {
        QString given;
        if (request.captions) {
            // One chain a camera, one drawtext a caption, each on for its own second only.
            QStringList chains;
            for (const int t : std::as_const(kept)) {
                QStringList chain;
                for (const CaptionLine &line : std::as_const(*request.captions))
                    chain.append(captionFilter(*font, tracks[t].height, line));
                if (chain.isEmpty())
                    chain.append(QStringLiteral("null"));
                chains.append(QStringLiteral("[0:v:%1]%2[v%1]")
                                  .arg(t)
                                  .arg(chain.join(QStringLiteral(",\n"))));
            }
            const QString script = folder + QStringLiteral("captions.txt");
            if (!writeFilterScript(script, chains.join(QStringLiteral(";\n")) + QLatin1Char('\n')))
                return {};
            given = QStringLiteral("-ss %1 -i %2 -filter_complex_script %3")
                        .arg(clipSecondsText(request.from), shellQuoted(request.input),
                             shellQuoted(script));
            for (const int t : std::as_const(kept))
                given += QStringLiteral(" -map '[v%1]'").arg(t);
            given += QStringLiteral(" -map '0:a:0?' -c:v libx264 -preset veryfast -c:a aac");
        } else {
            given = QStringLiteral("-ss %1 -i %2 %3 -map '0:a:0?' -c copy -use_editlist 1")
                        .arg(secondsUp(result.start), shellQuoted(request.input),
                             request.track < 0 ? QStringLiteral("-map 0:v")
                                               : QStringLiteral("-map 0:v:%1").arg(request.track));
        }
        return given + QStringLiteral(" -t ") + clipSecondsText(duration);
    };
    QCoro::Task<ClipResult> encoding = runClipEncoder(
        tools, request.destination, arguments, duration, std::move(progress), cancel, result);
    co_return co_await encoding;
}

} // namespace korvane
