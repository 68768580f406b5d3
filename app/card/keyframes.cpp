#include "card/keyframes.h"

#include <QFile>

#include <algorithm>

namespace korvane {

namespace {

// A box inside a buffer: its type and contents.
struct Box
{
    QByteArrayView type;
    QByteArrayView body;
};

quint64 bigEndian(QByteArrayView bytes, qsizetype at, int size)
{
    if (at < 0 || at + size > bytes.size())
        return 0;
    quint64 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | static_cast<uchar>(bytes[at + i]);
    return value;
}

QList<Box> children(QByteArrayView bytes)
{
    QList<Box> boxes;
    for (qsizetype at = 0; at + 8 <= bytes.size();) {
        quint64 size = bigEndian(bytes, at, 4);
        qsizetype header = 8;
        if (size == 1) {
            size = bigEndian(bytes, at + 8, 8);
            header = 16;
        } else if (size == 0) {
            size = static_cast<quint64>(bytes.size() - at);
        }
        if (size < static_cast<quint64>(header) || size > static_cast<quint64>(bytes.size() - at))
            break;
        boxes.append({bytes.sliced(at + 4, 4),
                      bytes.sliced(at + header, static_cast<qsizetype>(size) - header)});
        at += static_cast<qsizetype>(size);
    }
    return boxes;
}

std::optional<QByteArrayView> child(QByteArrayView bytes, const char *type)
{
    for (const Box &box : children(bytes)) {
        if (box.type == QByteArrayView(type))
            return box.body;
    }
    return std::nullopt;
}

std::optional<QByteArrayView> path(QByteArrayView bytes, std::initializer_list<const char *> types)
{
    std::optional<QByteArrayView> at = bytes;
    for (const char *type : types) {
        at = child(*at, type);
        if (!at)
            return std::nullopt;
    }
    return at;
}

// The top-level "moov" of the file, read whole; the media data is skipped over.
std::optional<QByteArray> movieBox(const QString &file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (qint64 at = 0; at + 8 <= in.size();) {
        in.seek(at);
        const QByteArray header = in.read(16);
        quint64 size = bigEndian(header, 0, 4);
        qint64 headerSize = 8;
        if (size == 1) {
            size = bigEndian(header, 8, 8);
            headerSize = 16;
        } else if (size == 0) {
            size = static_cast<quint64>(in.size() - at);
        }
        if (size < static_cast<quint64>(headerSize) || size > static_cast<quint64>(in.size() - at))
            return std::nullopt;
        if (header.mid(4, 4) == "moov") {
            if (size > (quint64{256} << 20))
                return std::nullopt; // no index is that large
            in.seek(at + headerSize);
            return in.read(static_cast<qint64>(size) - headerSize);
        }
        at += static_cast<qint64>(size);
    }
    return std::nullopt;
}

// One track's key frame times in seconds, or none when its tables do not add up.
std::optional<QList<double>> trackKeyFrames(QByteArrayView trak, quint64 movieTimescale)
{
    const auto mdhd = path(trak, {"mdia", "mdhd"});
    const auto stbl = path(trak, {"mdia", "minf", "stbl"});
    const auto stts = stbl ? child(*stbl, "stts") : std::nullopt;
    if (!mdhd || !stts || mdhd->isEmpty())
        return std::nullopt;
    const bool wideHeader = (*mdhd)[0] == 1;
    const quint64 timescale = bigEndian(*mdhd, wideHeader ? 20 : 12, 4);
    if (timescale == 0)
        return std::nullopt;

    // Decoding times, sample by sample.
    QList<qint64> times;
    qint64 time = 0;
    const quint64 runs = bigEndian(*stts, 4, 4);
    for (quint64 r = 0; r < runs; ++r) {
        const qsizetype at = 8 + static_cast<qsizetype>(r) * 8;
        if (at + 8 > stts->size())
            return std::nullopt;
        const quint64 count = bigEndian(*stts, at, 4);
        const auto delta = static_cast<qint64>(bigEndian(*stts, at + 4, 4));
        if (count > (quint64{1} << 24) || times.size() + static_cast<qsizetype>(count) > (1 << 24))
            return std::nullopt;
        for (quint64 k = 0; k < count; ++k) {
            times.append(time);
            time += delta;
        }
    }
    // Presentation times: the composition offsets added (signed in version 1).
    if (const auto ctts = child(*stbl, "ctts"); ctts && !ctts->isEmpty()) {
        const bool signedOffsets = (*ctts)[0] == 1;
        qsizetype sample = 0;
        const quint64 entries = bigEndian(*ctts, 4, 4);
        for (quint64 e = 0; e < entries; ++e) {
            const qsizetype at = 8 + static_cast<qsizetype>(e) * 8;
            if (at + 8 > ctts->size())
                return std::nullopt;
            const quint64 count = bigEndian(*ctts, at, 4);
            const quint64 raw = bigEndian(*ctts, at + 4, 4);
            const qint64 offset = signedOffsets ? static_cast<qint32>(static_cast<quint32>(raw))
                                                : static_cast<qint64>(raw);
            for (quint64 k = 0; k < count && sample < times.size(); ++k)
                times[sample++] += offset;
        }
    }
    // The edit list: empty edits delay the track, the first real one says where it starts.
    qint64 shift = 0;
    if (const auto elst = path(trak, {"edts", "elst"}); elst && !elst->isEmpty()) {
        const bool wide = (*elst)[0] == 1;
        const qsizetype entrySize = wide ? 20 : 12;
        const quint64 entries = bigEndian(*elst, 4, 4);
        for (quint64 e = 0; e < entries; ++e) {
            const qsizetype at = 8 + static_cast<qsizetype>(e) * entrySize;
            if (at + entrySize > elst->size())
                return std::nullopt;
            const quint64 duration = bigEndian(*elst, at, wide ? 8 : 4);
            const quint64 rawStart = bigEndian(*elst, at + (wide ? 8 : 4), wide ? 8 : 4);
            const qint64 mediaTime = wide ? static_cast<qint64>(rawStart)
                                          : static_cast<qint32>(static_cast<quint32>(rawStart));
            if (mediaTime == -1) {
                if (movieTimescale != 0)
                    shift += static_cast<qint64>(duration * timescale / movieTimescale);
                continue;
            }
            shift -= mediaTime;
            break;
        }
    }
    // Key samples by number from 1; every sample is one when the table is missing.
    QList<double> keys;
    const auto stss = child(*stbl, "stss");
    const auto keyTime = [&](qsizetype sample) {
        keys.append(static_cast<double>(times[sample] + shift) / static_cast<double>(timescale));
    };
    if (!stss) {
        for (qsizetype s = 0; s < times.size(); ++s)
            keyTime(s);
    } else {
        const quint64 entries = bigEndian(*stss, 4, 4);
        for (quint64 e = 0; e < entries; ++e) {
            const qsizetype at = 8 + static_cast<qsizetype>(e) * 4;
            const auto number = static_cast<qsizetype>(bigEndian(*stss, at, 4));
            if (at + 4 > stss->size() || number < 1 || number > times.size())
                return std::nullopt;
            keyTime(number - 1);
        }
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

} // namespace

std::optional<QList<QList<double>>> videoKeyFrames(const QString &file)
{
    const std::optional<QByteArray> moov = movieBox(file);
    if (!moov)
        return std::nullopt;
    const auto mvhd = child(*moov, "mvhd");
    const quint64 movieTimescale =
        mvhd && !mvhd->isEmpty() ? bigEndian(*mvhd, (*mvhd)[0] == 1 ? 20 : 12, 4) : 0;
    QList<QList<double>> tracks;
    for (const Box &box : children(*moov)) {
        if (box.type != QByteArrayView("trak"))
            continue;
        const auto hdlr = path(box.body, {"mdia", "hdlr"});
        if (!hdlr || hdlr->size() < 12 || hdlr->sliced(8, 4) != QByteArrayView("vide"))
            continue;
        const std::optional<QList<double>> keys = trackKeyFrames(box.body, movieTimescale);
        if (!keys)
            return std::nullopt;
        tracks.append(*keys);
    }
    if (tracks.isEmpty())
        return std::nullopt;
    return tracks;
}

} // namespace korvane
