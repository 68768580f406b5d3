#include "records/mp4tracks.h"

#include "mp4/boxcontents.h"
#include "mp4/boxreader.h"
#include "records/mp4file.h"

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
