#include "playback/trackdurations.h"

#include <QFile>

#include <optional>

namespace korvane {

namespace {

struct Box
{
    QByteArray type;
    qint64 payload = 0; // offset of the box's contents
    qint64 end = 0;
};

quint64 bigEndian(const QByteArray &bytes, int at, int size)
{
    quint64 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | static_cast<uchar>(bytes.at(at + i));
    return value;
}

std::optional<Box> readBox(QFile &file, qint64 at, qint64 limit)
{
    if (at + 8 > limit || !file.seek(at))
        return std::nullopt;
    const QByteArray header = file.read(16);
    if (header.size() < 8)
        return std::nullopt;
    Box box;
    box.type = header.mid(4, 4);
    quint64 size = bigEndian(header, 0, 4);
    box.payload = at + 8;
    if (size == 1) {
        if (header.size() < 16)
            return std::nullopt;
        size = bigEndian(header, 8, 8);
        box.payload = at + 16;
    } else if (size == 0) {
        size = static_cast<quint64>(limit - at);
    }
    if (size < static_cast<quint64>(box.payload - at) || size > static_cast<quint64>(limit - at))
        return std::nullopt;
    box.end = at + static_cast<qint64>(size);
    return box;
}

std::optional<Box> findChild(QFile &file, const Box &parent, const char *type)
{
    for (qint64 at = parent.payload; at < parent.end;) {
        const auto box = readBox(file, at, parent.end);
        if (!box)
            return std::nullopt;
        if (box->type == type)
            return box;
        at = box->end;
    }
    return std::nullopt;
}

QByteArray contents(QFile &file, const Box &box, qint64 most)
{
    file.seek(box.payload);
    return file.read(std::min(most, box.end - box.payload));
}

// mvhd and tkhd: version 1 carries 64-bit times, so the fields after them move.
std::optional<quint64> versionedField(const QByteArray &bytes, int offset32, int offset64,
                                      bool isTime)
{
    if (bytes.isEmpty())
        return std::nullopt;
    const bool wide = bytes.at(0) == 1;
    const int at = wide ? offset64 : offset32;
    const int size = wide && isTime ? 8 : 4;
    if (bytes.size() < at + size)
        return std::nullopt;
    return bigEndian(bytes, at, size);
}

} // namespace

std::vector<double> videoTrackDurations(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const Box whole{{}, 0, file.size()};
    const auto moov = findChild(file, whole, "moov");
    const auto mvhd = moov ? findChild(file, *moov, "mvhd") : std::nullopt;
    if (!mvhd)
        return {};
    const auto timescale = versionedField(contents(file, *mvhd, 32), 12, 20, false);
    if (!timescale || *timescale == 0)
        return {};

    std::vector<double> durations;
    for (qint64 at = moov->payload; at < moov->end;) {
        const auto trak = readBox(file, at, moov->end);
        if (!trak)
            break;
        at = trak->end;
        if (trak->type != "trak")
            continue;
        const auto mdia = findChild(file, *trak, "mdia");
        const auto hdlr = mdia ? findChild(file, *mdia, "hdlr") : std::nullopt;
        const auto tkhd = findChild(file, *trak, "tkhd");
        if (!hdlr || !tkhd || contents(file, *hdlr, 12).mid(8, 4) != "vide")
            continue;
        const auto duration = versionedField(contents(file, *tkhd, 40), 20, 28, true);
        durations.push_back(
            duration ? static_cast<double>(*duration) / static_cast<double>(*timescale) : 0.0);
    }
    return durations;
}

} // namespace korvane
