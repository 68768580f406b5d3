// Evidence clips encoded anew: the parts of one or more recordings joined, every camera composed
// into one picture or kept as a track of its own.
#include "card/joinedclip.h"

#include "card/clipsteps.h"
#include "card/keyframes.h"
#include "card/shellquote.h"
#include "records/mp4tracks.h"

#include <algorithm>
#include <cmath>

namespace korvane {

namespace {

// Each piece is cut this much before its first and its last second, so that the picture at the
// first is in and the one at the last is out whatever rounding their times went through: moments
// of a drive are kept to the millisecond, and ffmpeg reads an edit list's times a little apart
// from the file's index. Far less than the time between two pictures.
constexpr double cutLead = 0.002;
// Each piece is read from this long before its first second to this long after its last: ffmpeg
// seeks to the key frame before, and the exact cut is the filter graph's own, on the file's own
// times.
constexpr double readMargin = 1;

QString chained(const QStringList &filters)
{
    return filters.isEmpty() ? QStringLiteral("null") : filters.join(QStringLiteral(",\n"));
}

// How one camera's pictures fill a piece: those between its cuts, the first and the last held
// for as many pictures as the camera lacks at the piece's start and end (a camera that started
// late or stopped early in that recording), so that the cameras and the sound stay in step
// after every join. Each picture once otherwise.
struct CameraPiece
{
    int heldBefore = 0;
    int heldAfter = 0;
    double seconds = 0; // the length it takes in the clip
    PictureSize size;   // in this recording
    int pictures = -1;  // its own between the cuts; -1 while no index told
};

// Where each piece is cut in its file's own times, and each camera's part in it: read from the
// file's index, or, without one, every camera taken as filling the piece.
struct PieceCut
{
    double start = 0; // in the file
    double end = 0;
    double seconds = 0; // the span's length
    QList<CameraPiece> cameras;
};

QList<PieceCut> pieceCuts(const QList<ClipPiece> &pieces)
{
    QList<PieceCut> cuts;
    for (const ClipPiece &piece : pieces) {
        PieceCut cut{piece.from - cutLead, piece.to - cutLead, piece.to - piece.from, {}};
        const std::optional<QList<QList<double>>> times = videoPictureTimes(piece.input);
        // Each recording's cameras at their own rates and sizes: a dashcam's settings may change
        // between two recordings of a drive.
        const std::vector<VideoTrackShape> shapes = videoTrackShapes(piece.input);
        for (qsizetype c = 0; c < static_cast<qsizetype>(shapes.size()); ++c) {
            CameraPiece camera{0, 0, cut.seconds, {}};
            camera.size = {shapes[static_cast<size_t>(c)].width,
                           shapes[static_cast<size_t>(c)].height};
            const double each = shapes[static_cast<size_t>(c)].pictureSeconds();
            QList<double> within;
            for (const double time : times &&c < times->size() ? times->at(c) : QList<double>{}) {
                if (time >= cut.start && time < cut.end)
                    within.append(time);
            }
            camera.pictures = static_cast<int>(within.size());
            if (!within.isEmpty() && each > 0) {
                const double late = within.first() - std::max(0.0, cut.start);
                const double early = cut.end - (within.last() + each);
                camera.heldBefore =
                    late > 1.5 * each ? static_cast<int>(std::lround(late / each)) : 0;
                camera.heldAfter =
                    early > 1.5 * each ? static_cast<int>(std::lround(early / each)) : 0;
                camera.seconds = within.last() + each - within.first() +
                                 (camera.heldBefore + camera.heldAfter) * each;
            }
            cut.cameras.append(camera);
        }
        cuts.append(cut);
    }
    return cuts;
}

QString cutText(const PieceCut &cut)
{
    return QStringLiteral("start=%1:end=%2")
        .arg(clipSecondsText(cut.start), clipSecondsText(cut.end));
}

// Camera `camera` of every piece, each cut and held as `pieceCuts` says, one after the other,
// as "[j<camera>]".
QString joinedCamera(int camera, const QList<PieceCut> &cuts)
{
    QString graph;
    QString inputs;
    for (qsizetype i = 0; i < cuts.size(); ++i) {
        const CameraPiece &part = cuts[i].cameras[camera];
        QString held;
        if (part.heldBefore > 0 || part.heldAfter > 0)
            held = QStringLiteral(",tpad=start_mode=clone:start=%1:stop_mode=clone:stop=%2")
                       .arg(part.heldBefore)
                       .arg(part.heldAfter);
        // A camera that recorded at another size in this recording is shown at its first one.
        const PictureSize first = cuts.first().cameras[camera].size;
        if ((part.size.width != first.width || part.size.height != first.height) &&
            first.width > 0 && first.height > 0)
            held += QStringLiteral(",scale=%1:%2").arg(first.width).arg(first.height);
        graph += QStringLiteral("[%1:v:%2]trim=%3,setpts=PTS-STARTPTS%4,setsar=1[p%1_%2];\n")
                     .arg(i)
                     .arg(camera)
                     .arg(cutText(cuts[i]), held);
        inputs += QStringLiteral("[p%1_%2]").arg(i).arg(camera);
    }
    return graph + inputs +
           QStringLiteral("concat=n=%1:v=1:a=0[j%2];\n").arg(cuts.size()).arg(camera);
}

// The sound of every piece as long as the first camera's part of it, filled with silence where
// the recording's sound starts late or ends early, one after the other.
QString joinedSound(const QList<PieceCut> &cuts, int firstInput = 0)
{
    QString graph;
    QString inputs;
    for (qsizetype i = 0; i < cuts.size(); ++i) {
        const double seconds =
            cuts[i].cameras.isEmpty() ? cuts[i].seconds : cuts[i].cameras.first().seconds;
        graph += QStringLiteral("[%1:a:0]atrim=%2,asetpts=PTS-%3/TB,"
                                "aresample=async=1:first_pts=0,apad=whole_dur=%4,"
                                "atrim=end=%4,asetpts=PTS-STARTPTS[q%1];\n")
                     .arg(i + firstInput)
                     .arg(cutText(cuts[i]), clipSecondsText(std::max(0.0, cuts[i].start)),
                          clipSecondsText(seconds));
        inputs += QStringLiteral("[q%1]").arg(i + firstInput);
    }
    return graph + inputs + QStringLiteral("concat=n=%1:v=0:a=1[a];\n").arg(cuts.size());
}

// The first camera padded with black to the whole picture, the others placed on it, all at the
// first camera's rate, and the caption in its band. The clip ends with the first camera's last
// picture (at `end` seconds) however far another camera's last picture reaches; a camera that
// ends sooner keeps its last picture.
QString composedGraph(const Composition &composition, const QString &rate, double end,
                      const QString &font, const QList<CaptionLine> &captions)
{
    QString graph;
    for (qsizetype c = 0; c < composition.cameras.size(); ++c) {
        const PictureRegion &region = composition.cameras[c];
        // At the first camera's rate; a gap in a camera's pictures shows its last one before.
        // The last picture goes through too, not only those a later one closes.
        graph += QStringLiteral("[j%1]fps=%2:eof_action=pass,scale=%3:%4,setsar=1")
                     .arg(c)
                     .arg(rate)
                     .arg(region.width)
                     .arg(region.height);
        if (c == 0)
            graph += QStringLiteral(",format=yuv420p,pad=%1:%2:%3:%4:black[b1];\n")
                         .arg(composition.width)
                         .arg(composition.height)
                         .arg(region.x)
                         .arg(region.y);
        else
            graph += QStringLiteral("[s%1];\n[b%1][s%1]overlay=x=%2:y=%3:format=yuv420[b%4];\n")
                         .arg(c)
                         .arg(region.x)
                         .arg(region.y)
                         .arg(c + 1);
    }
    QStringList lines{QStringLiteral("trim=end=") + clipSecondsText(end)};
    for (const CaptionLine &line : captions)
        lines.append(
            bandCaptionFilter(font, composition.caption.y, composition.caption.height, line));
    return graph +
           QStringLiteral("[b%1]%2[v]\n").arg(composition.cameras.size()).arg(chained(lines));
}

// Where a piece can be copied from and to: the key frames that are the first pictures at or after
// its cuts (none for an end past its file's last picture).
struct CopiedCut
{
    double from = 0;
    std::optional<double> to;
    double frameSeconds = 0; // of the first camera
    double seconds = 0;      // the first camera's pictures copied, end to end
};

// The key frame that is the first picture at or after `cut` in a track whose pictures are
// `frameSeconds` apart; none when that picture is no key frame.
std::optional<double> keyFrameAt(const QList<double> &keys, double cut, double frameSeconds)
{
    for (const double key : keys) {
        if (key >= cut - cutLead && key < cut - cutLead + frameSeconds * 0.99)
            return key;
    }
    return std::nullopt;
}

// The copied cuts of every piece when every piece begins on a key frame of every camera and ends
// on one or after its file's last picture: the pieces can then be copied as recorded, the first
// picture after each cut being one a player decodes on its own. None otherwise.
std::optional<QList<CopiedCut>> copiedCuts(const QList<ClipPiece> &pieces)
{
    QList<CopiedCut> cuts;
    for (const ClipPiece &piece : pieces) {
        // The list ffmpeg reads holds one name a line. The concat demuxer ends a file by its
        // pictures' decoding times: with B-frames the pictures around a cut are not those shown
        // there.
        if (piece.input.contains(QLatin1Char('\n')) || piece.input.contains(QLatin1Char('\r')) ||
            hasReorderedPictures(piece.input))
            return std::nullopt;
        const std::optional<QList<QList<double>>> keys = videoKeyFrames(piece.input);
        const std::optional<QList<QList<double>>> times = videoPictureTimes(piece.input);
        const std::vector<VideoTrackShape> shapes = videoTrackShapes(piece.input);
        if (!keys || !times || keys->isEmpty() || keys->size() != times->size() ||
            shapes.size() != static_cast<size_t>(keys->size()))
            return std::nullopt;
        CopiedCut cut;
        for (qsizetype t = 0; t < keys->size(); ++t) {
            const VideoTrackShape &shape = shapes[static_cast<size_t>(t)];
            const double frameSeconds = shape.pictureSeconds();
            if (frameSeconds <= 0 || times->at(t).isEmpty())
                return std::nullopt;
            const std::optional<double> from = keyFrameAt(keys->at(t), piece.from, frameSeconds);
            if (!from)
                return std::nullopt;
            if (t == 0) {
                cut.from = *from;
                cut.frameSeconds = frameSeconds;
            }
            // An end past the last picture takes the rest of the file.
            if (piece.to - cutLead > times->at(t).last())
                continue;
            const std::optional<double> to = keyFrameAt(keys->at(t), piece.to, frameSeconds);
            if (!to)
                return std::nullopt;
            if (t == 0)
                cut.to = *to;
        }
        cut.seconds = cut.to.value_or(times->first().last() + cut.frameSeconds) - cut.from;
        cuts.append(cut);
    }
    return cuts;
}

// A file name in an ffconcat list: quoted, a quote in it closed, escaped and reopened.
QString concatQuoted(const QString &path)
{
    QString quoted = path;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// The pieces copied one after the other by ffmpeg's concat demuxer, each from its key frame up
// to the one that follows its end.
QString copiedJoin(const QString &folder, const QList<ClipPiece> &pieces,
                   const QList<CopiedCut> &cuts, int track, bool withSound)
{
    QString list = QStringLiteral("ffconcat version 1.0\n");
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        list += QStringLiteral("file ") + concatQuoted(pieces[i].input) + QLatin1Char('\n');
        // Half a picture after its key frame, the in point seeks to that key frame and not the
        // one before, whatever rounding the file's times and ours went through; half a picture
        // before its key frame, the out point ends with the picture before it.
        list += QStringLiteral("inpoint ") +
                clipSecondsText(cuts[i].from + cuts[i].frameSeconds / 2) + QLatin1Char('\n');
        if (cuts[i].to)
            list += QStringLiteral("outpoint ") +
                    clipSecondsText(*cuts[i].to - cuts[i].frameSeconds / 2) + QLatin1Char('\n');
    }
    const QString listFile = folder + QStringLiteral("pieces.ffconcat");
    if (!writeFilterScript(listFile, list))
        return {};
    QString given = QStringLiteral("-f concat -safe 0 -i %1 ").arg(shellQuoted(listFile));
    // The pictures are copied; the sound (when every piece has some) is cut from each recording
    // as its pictures are and encoded anew, its own start in the file honoured, so that it stays
    // in step at every join (the concat demuxer would drop what each file's edit list says of
    // its sound).
    if (withSound) {
        QList<PieceCut> sound;
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            // "-seek_timestamp 1": read from that time of the file itself, which then counts
            // as 0.
            const double readFrom = std::max(0.0, cuts[i].from - readMargin);
            given += QStringLiteral("-seek_timestamp 1 -ss %1 -t %2 -i %3 ")
                         .arg(clipSecondsText(readFrom),
                              clipSecondsText(cuts[i].seconds + 2 * readMargin),
                              shellQuoted(pieces[i].input));
            const double start = cuts[i].from - cutLead - readFrom;
            sound.append({start, start + cuts[i].seconds, cuts[i].seconds, {}});
        }
        const QString script = folder + QStringLiteral("sound.txt");
        QString graph = joinedSound(sound, 1);
        graph.chop(2); // the last ";\n"
        if (!writeFilterScript(script, graph))
            return {};
        given += QStringLiteral("-filter_complex_script ") + shellQuoted(script) +
                 QStringLiteral(" -map '[a]' -c:a aac ");
    }
    return given +
           (track < 0 ? QStringLiteral("-map 0:v") : QStringLiteral("-map 0:v:%1").arg(track)) +
           QStringLiteral(" -c:v copy -movflags +faststart");
}

} // namespace

QCoro::Task<ClipResult> exportJoinedClip(const ToolSet &tools, JoinedClipRequest request,
                                         std::function<void(int percent)> progress,
                                         ShellCancel cancel)
{
    ClipResult result;
    result.path = request.destination;
    request.pieces.removeIf([](const ClipPiece &piece) { return !(piece.to > piece.from); });
    if (request.pieces.isEmpty())
        co_return clipNotMade(result, ClipResult::Outcome::nothingToCut,
                              QStringLiteral("the span holds no picture"), cancel);
    result.start = request.pieces.first().from;

    std::optional<QString> font;
    if (request.captions) {
        font = co_await hangulFont();
        if (!font)
            co_return clipNotMade(result, ClipResult::Outcome::noFont,
                                  QStringLiteral("no font with Hangul"), cancel);
    }
    std::vector<VideoTrackShape> cameras;
    bool sound = true;
    double duration = 0;
    for (const ClipPiece &piece : std::as_const(request.pieces)) {
        const std::vector<VideoTrackShape> shapes = videoTrackShapes(piece.input);
        if (shapes.empty())
            co_return clipNotMade(result, ClipResult::Outcome::nothingToCut,
                                  QStringLiteral("no picture in %1").arg(piece.input), cancel);
        if (cameras.empty())
            cameras = shapes;
        else if (shapes.size() != cameras.size())
            co_return clipNotMade(
                result, ClipResult::Outcome::failed,
                QStringLiteral("the recordings of the span hold %1 and %2 cameras: no clip of "
                               "them all can be made")
                    .arg(cameras.size())
                    .arg(shapes.size()),
                cancel);
        const std::optional<TrackCounts> counts = trackCounts(piece.input);
        sound = sound && counts && counts->audio > 0;
        duration += piece.to - piece.from;
    }
    if (request.track >= static_cast<int>(cameras.size()))
        co_return clipNotMade(result, ClipResult::Outcome::noSuchChannel,
                              QStringLiteral("no video track %1").arg(request.track + 1), cancel);

    // A span between two pictures of the first camera shows none of its own.
    const QList<PieceCut> cuts = pieceCuts(request.pieces);
    if (std::all_of(cuts.cbegin(), cuts.cend(),
                    [](const PieceCut &cut) { return cut.cameras.value(0).pictures == 0; }))
        co_return clipNotMade(result, ClipResult::Outcome::nothingToCut,
                              QStringLiteral("the span holds no picture"), cancel);
    const bool composed = request.layout != ClipLayout::tracks;
    if (const std::optional<QList<CopiedCut>> copied =
            !composed && !request.captions ? copiedCuts(request.pieces) : std::nullopt) {
        // The pictures as recorded, not a generation lost to an encoder.
        result.start = copied->first().from;
        const QList<ClipPiece> pieces = request.pieces;
        const int track = request.track;
        QCoro::Task<ClipResult> copying = runClipEncoder(
            tools, request.destination,
            [pieces, cuts = *copied, track, sound](const QString &folder) {
                return copiedJoin(folder, pieces, cuts, track, sound);
            },
            duration, std::move(progress), cancel, result);
        co_return co_await copying;
    }
    QList<int> kept;
    for (int c = 0; c < static_cast<int>(cameras.size()); ++c) {
        if (composed || request.track < 0 || request.track == c)
            kept.append(c);
    }
    const auto arguments = [&](const QString &folder) -> QString {
        // "-copyts": the graph sees each file's own times, not times shifted by its start.
        QString given = QStringLiteral("-copyts ");
        for (const ClipPiece &piece : std::as_const(request.pieces))
            given += QStringLiteral("-ss %1 -t %2 -i %3 ")
                         .arg(clipSecondsText(piece.from - readMargin),
                              clipSecondsText(piece.to - piece.from + 2 * readMargin),
                              shellQuoted(piece.input));
        QString graph;
        for (const int c : std::as_const(kept))
            graph += joinedCamera(c, cuts);
        if (sound)
            graph += joinedSound(cuts);
        const QList<CaptionLine> captions = request.captions.value_or(QList<CaptionLine>{});
        QStringList outputs;
        if (composed) {
            QList<PictureSize> sizes;
            for (const VideoTrackShape &shape : cameras)
                sizes.append({shape.width, shape.height});
            const QString rate = cameras.front().rateText().isEmpty() ? QStringLiteral("30/1")
                                                                      : cameras.front().rateText();
            // The composition ends with the first camera's part of the last piece.
            double end = 0;
            for (const PieceCut &cut : cuts)
                end += cut.cameras.first().seconds;
            graph +=
                composedGraph(composeCameras(request.layout, sizes, request.captions.has_value()),
                              rate, end, font.value_or(QString()), captions);
            outputs.append(QStringLiteral("[v]"));
        } else {
            for (const int c : std::as_const(kept)) {
                QStringList lines;
                for (const CaptionLine &line : captions)
                    lines.append(captionFilter(font.value_or(QString()), cameras[c].height, line));
                graph += QStringLiteral("[j%1]%2[v%1];\n").arg(c).arg(chained(lines));
                outputs.append(QStringLiteral("[v%1]").arg(c));
            }
        }
        if (graph.endsWith(QLatin1String(";\n")))
            graph.chop(2);
        const QString script = folder + QStringLiteral("graph.txt");
        if (!writeFilterScript(script, graph))
            return {};
        given += QStringLiteral("-filter_complex_script ") + shellQuoted(script);
        for (const QString &output : std::as_const(outputs))
            given += QStringLiteral(" -map '%1'").arg(output);
        if (sound)
            given += QStringLiteral(" -map '[a]' -c:a aac");
        // Pictures every player decodes, the index first so that a browser plays as it loads;
        // each picture the graph made kept, none dropped or doubled to a rate of ffmpeg's own.
        return given + QStringLiteral(" -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p "
                                      "-fps_mode passthrough -movflags +faststart");
    };
    QCoro::Task<ClipResult> encoding = runClipEncoder(
        tools, request.destination, arguments, duration, std::move(progress), cancel, result);
    co_return co_await encoding;
}

} // namespace korvane
