#include "records/mp4tracks.h"

#include "mp4/boxcontents.h"
#include "mp4/boxreader.h"
#include "records/mp4file.h"

#include <algorithm>
#include <numeric>

namespace korvane {

std::vector<double> videoTrackDurations(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const mp4::box_reader boxes = mp4FileBoxes(file);
    const auto moov = boxes.child("moov");
    const auto mvhd = moov ? boxes.child("mvhd", *moov) : std::nullopt;
    if (!mvhd)
        return {};
    const auto movie = mp4::read_movie_header(boxes.body(*mvhd, 32));
    if (!movie || movie->timescale.value_or(0) == 0)
        return {};
    const double timescale = *movie->timescale;

    std::vector<double> durations;
    for (auto trak = boxes.box_at(moov->body_offset(), moov->end()); trak;
         trak = boxes.box_at(trak->end(), moov->end())) {
        if (trak->type != "trak")
            continue;
        const auto hdlr = boxes.find("mdia/hdlr", *trak);
        const auto tkhd = boxes.child("tkhd", *trak);
        if (!hdlr || !tkhd || mp4::read_handler_type(boxes.body(*hdlr, 12)) != "vide")
            continue;
        const auto track = mp4::read_track_header(boxes.body(*tkhd, 40));
        durations.push_back(
            track && track->duration ? static_cast<double>(*track->duration) / timescale : 0.0);
    }
    return durations;
}

QString VideoTrackShape::rateText() const
{
    if (timescale == 0 || pictureTicks == 0)
        return {};
    const quint32 common = std::gcd(timescale, pictureTicks);
    return QStringLiteral("%1/%2").arg(timescale / common).arg(pictureTicks / common);
}

double VideoTrackShape::pictureSeconds() const
{
    return timescale == 0 ? 0 : static_cast<double>(pictureTicks) / timescale;
}

std::vector<VideoTrackShape> videoTrackShapes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const mp4::box_reader boxes = mp4FileBoxes(file);
    const auto moov = boxes.child("moov");
    if (!moov)
        return {};
    std::vector<VideoTrackShape> shapes;
    for (auto trak = boxes.box_at(moov->body_offset(), moov->end()); trak;
         trak = boxes.box_at(trak->end(), moov->end())) {
        if (trak->type != "trak")
            continue;
        const auto hdlr = boxes.find("mdia/hdlr", *trak);
        if (!hdlr || mp4::read_handler_type(boxes.body(*hdlr, 12)) != "vide")
            continue;
        VideoTrackShape shape;
        if (const auto tkhd = boxes.child("tkhd", *trak)) {
            if (const auto header = mp4::read_track_header(boxes.body(*tkhd, 96))) {
                shape.width = static_cast<int>(header->width.value_or(0) >> 16);
                shape.height = static_cast<int>(header->height.value_or(0) >> 16);
            }
        }
        if (const auto mdhd = boxes.find("mdia/mdhd", *trak)) {
            if (const auto media = mp4::read_media_header(boxes.body(*mdhd, 32)))
                shape.timescale = media->timescale.value_or(0);
        }
        if (const auto stts = boxes.find("mdia/minf/stbl/stts", *trak)) {
            if (const auto runs = mp4::read_decoding_times(boxes.body(*stts))) {
                quint32 most = 0;
                for (const mp4::time_run &run : runs->entries) {
                    if (run.count > most && run.delta > 0) {
                        most = run.count;
                        shape.pictureTicks = run.delta;
                    }
                }
            }
        }
        shapes.push_back(shape);
    }
    return shapes;
}

std::optional<double> recordingSeconds(const QString &path)
{
    const std::vector<double> lengths = videoTrackDurations(path);
    const auto longest = std::max_element(lengths.cbegin(), lengths.cend());
    if (longest == lengths.cend() || !(*longest > 0))
        return std::nullopt;
    return *longest;
}

std::optional<TrackCounts> trackCounts(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const mp4::box_reader boxes = mp4FileBoxes(file);
    const auto moov = boxes.child("moov");
    if (!moov)
        return std::nullopt;
    TrackCounts counts;
    for (auto trak = boxes.box_at(moov->body_offset(), moov->end()); trak;
         trak = boxes.box_at(trak->end(), moov->end())) {
        if (trak->type != "trak")
            continue;
        const auto hdlr = boxes.find("mdia/hdlr", *trak);
        const std::optional<std::string> handler =
            hdlr ? mp4::read_handler_type(boxes.body(*hdlr, 12)) : std::nullopt;
        if (handler == "vide")
            ++counts.video;
        else if (handler == "soun")
            ++counts.audio;
    }
    return counts;
}

} // namespace korvane
