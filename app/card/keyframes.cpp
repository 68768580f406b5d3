#include "card/keyframes.h"

#include "mp4/boxcontents.h"
#include "mp4/boxreader.h"
#include "records/mp4file.h"

#include <QFile>

#include <algorithm>

namespace korvane {

namespace {

// No index is larger: a movie box past it is not read.
constexpr quint64 largestIndex = quint64{256} << 20;

struct TrackPictures
{
    QList<double> times; // every picture's
    QList<double> keys;  // the key frames'
    bool reordered = false; // shown in another order than decoded (B-frames)
};

// One track's picture times in seconds, ascending, or none when its tables do not add up. A
// table too short to hold its entry count holds no entries.
std::optional<TrackPictures> trackPictures(const mp4::box_reader &index, const mp4::box &trak,
                                           quint64 movieTimescale)
{
    const auto mdhd = index.find("mdia/mdhd", trak);
    const auto stbl = index.find("mdia/minf/stbl", trak);
    const auto stts = stbl ? index.child("stts", *stbl) : std::nullopt;
    if (!mdhd || !stts)
        return std::nullopt;
    const auto media = mp4::read_media_header(index.body(*mdhd));
    if (!media || media->timescale.value_or(0) == 0)
        return std::nullopt;
    const quint64 timescale = *media->timescale;

    // Decoding times, sample by sample.
    QList<qint64> times;
    qint64 time = 0;
    if (const auto runs = mp4::read_decoding_times(index.body(*stts))) {
        if (!runs->whole())
            return std::nullopt;
        for (const mp4::time_run &run : runs->entries) {
            if (run.count > (1u << 24) ||
                times.size() + static_cast<qsizetype>(run.count) > (1 << 24))
                return std::nullopt;
            for (quint32 k = 0; k < run.count; ++k) {
                times.append(time);
                time += run.delta;
            }
        }
    }
    // Presentation times: the composition offsets added.
    if (const auto ctts = index.child("ctts", *stbl)) {
        if (const auto offsets = mp4::read_composition_offsets(index.body(*ctts))) {
            if (!offsets->whole())
                return std::nullopt;
            qsizetype sample = 0;
            for (const mp4::offset_run &run : offsets->entries) {
                for (quint32 k = 0; k < run.count && sample < times.size(); ++k)
                    times[sample++] += run.offset;
            }
        }
    }
    // The edit list: empty edits delay the track, the first real one says where it starts; the
    // entries after it are not needed, so a list cut short after it still does.
    qint64 shift = 0;
    if (const auto elst = index.find("edts/elst", trak)) {
        if (const auto edits = mp4::read_edit_list(index.body(*elst))) {
            for (quint64 e = 0; e < edits->declared; ++e) {
                if (e >= edits->entries.size())
                    return std::nullopt;
                const mp4::edit &edit = edits->entries[e];
                if (edit.media_time == -1) {
                    if (movieTimescale != 0)
                        shift += static_cast<qint64>(edit.duration * timescale / movieTimescale);
                    continue;
                }
                shift -= edit.media_time;
                break;
            }
        }
    }
    TrackPictures pictures;
    pictures.reordered = !std::is_sorted(times.cbegin(), times.cend());
    const auto seconds = [&](qsizetype sample) {
        return static_cast<double>(times[sample] + shift) / static_cast<double>(timescale);
    };
    for (qsizetype s = 0; s < times.size(); ++s)
        pictures.times.append(seconds(s));
    // Key samples by number from 1; every sample is one when the table is missing.
    const auto stss = index.child("stss", *stbl);
    if (!stss) {
        pictures.keys = pictures.times;
    } else if (const auto sync = mp4::read_sync_samples(index.body(*stss))) {
        if (!sync->whole())
            return std::nullopt;
        for (const quint32 number : sync->entries) {
            if (number < 1 || number > times.size())
                return std::nullopt;
            pictures.keys.append(seconds(number - 1));
        }
    }
    std::sort(pictures.times.begin(), pictures.times.end());
    std::sort(pictures.keys.begin(), pictures.keys.end());
    return pictures;
}

// Every video track's pictures, in track order; none when the file has no index to read.
std::optional<QList<TrackPictures>> videoPictures(const QString &file)

{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    // The top-level "moov" is read whole; the media data is skipped over.
    const mp4::box_reader onDisk = mp4FileBoxes(in);
    const auto moovBox = onDisk.child("moov");
    if (!moovBox || moovBox->size > largestIndex)
        return std::nullopt;
    const std::vector<std::uint8_t> moov = onDisk.body(*moovBox);
    const mp4::box_reader index(moov);

    const auto mvhd = index.child("mvhd");
    const auto movie = mvhd ? mp4::read_movie_header(index.body(*mvhd)) : std::nullopt;
    const quint64 movieTimescale = movie ? movie->timescale.value_or(0) : 0;
    QList<TrackPictures> tracks;
    for (auto box = index.box_at(0, index.size()); box;
         box = index.box_at(box->end(), index.size())) {
        if (box->type != "trak")
            continue;
        const auto hdlr = index.find("mdia/hdlr", *box);
        if (!hdlr || mp4::read_handler_type(index.body(*hdlr, 12)) != "vide")
            continue;
        const std::optional<TrackPictures> pictures = trackPictures(index, *box, movieTimescale);
        if (!pictures)
            return std::nullopt;
        tracks.append(*pictures);
    }
    if (tracks.isEmpty())
        return std::nullopt;
    return tracks;
}

} // namespace

std::optional<QList<QList<double>>> videoKeyFrames(const QString &file)
{
    const std::optional<QList<TrackPictures>> tracks = videoPictures(file);
    if (!tracks)
        return std::nullopt;
    QList<QList<double>> keys;
    for (const TrackPictures &track : *tracks)
        keys.append(track.keys);
    return keys;
}

bool hasReorderedPictures(const QString &file)
{
    const std::optional<QList<TrackPictures>> tracks = videoPictures(file);
    return !tracks || std::any_of(tracks->cbegin(), tracks->cend(),
                                  [](const TrackPictures &track) { return track.reordered; });
}

std::optional<QList<QList<double>>> videoPictureTimes(const QString &file)
{
    const std::optional<QList<TrackPictures>> tracks = videoPictures(file);
    if (!tracks)
        return std::nullopt;
    QList<QList<double>> times;
    for (const TrackPictures &track : *tracks)
        times.append(track.times);
    return times;
}

} // namespace korvane
