#include "testfiles.h"
#include "records/mp4tracks.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace korvane {
namespace {

QByteArray bigEndian(quint64 value, int size)
{
    QByteArray bytes;
    for (int i = size - 1; i >= 0; --i)
        bytes.append(static_cast<char>((value >> (8 * i)) & 0xff));
    return bytes;
}

QByteArray box(const char *type, const QByteArray &payload)
{
    return bigEndian(static_cast<quint64>(payload.size()) + 8, 4) + type + payload;
}

// mvhd/tkhd with the time fields 64 bits wide (version 1) or 32 bits wide (version 0).
QByteArray mvhd(bool wide, quint32 timescale)
{
    const int time = wide ? 8 : 4;
    return box("mvhd", QByteArray(1, wide ? 1 : 0) + QByteArray(3, 0) + QByteArray(2 * time, 0) +
                           bigEndian(timescale, 4) + bigEndian(0, time) + QByteArray(80, 0));
}

QByteArray trak(bool wide, quint64 duration, const char *handler)
{
    const int time = wide ? 8 : 4;
    const QByteArray tkhd =
        box("tkhd", QByteArray(1, wide ? 1 : 0) + QByteArray(3, 0) + QByteArray(2 * time, 0) +
                        QByteArray(8, 0) + bigEndian(duration, time) + QByteArray(60, 0));
    const QByteArray hdlr = box("hdlr", QByteArray(8, 0) + handler + QByteArray(13, 0));
    return box("trak", tkhd + box("mdia", hdlr));
}

std::vector<double> durationsOf(const QByteArray &bytes)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("r.mp4");
    test::writeFile(path, bytes);
    return videoTrackDurations(path);
}

TEST(Mp4TrackDurations, VideoTracksInOrderWithEitherHeaderVersion)
{
    const QByteArray ftyp = box("ftyp", "isom0000");
    const QByteArray mdat = box("mdat", QByteArray(100, 'x'));
    const QByteArray moov = box("moov", mvhd(true, 1000) + trak(true, 3000, "vide") +
                                            trak(false, 9000, "soun") + trak(false, 1500, "vide"));
    EXPECT_EQ(durationsOf(ftyp + mdat + moov), (std::vector<double>{3.0, 1.5}));
    const QByteArray narrow = box("moov", mvhd(false, 600) + trak(false, 1800, "vide"));
    EXPECT_EQ(durationsOf(ftyp + narrow + mdat), std::vector<double>{3.0});
    // A 64-bit box size before the movie header.
    const QByteArray large = bigEndian(1, 4) + "mdat" + bigEndian(16 + 10, 8) + QByteArray(10, 0);
    EXPECT_EQ(durationsOf(ftyp + large + narrow), std::vector<double>{3.0});
}

TEST(Mp4TrackDurations, DamagedFilesGiveNothingAndReadNothingOutside)
{
    const QByteArray moov = box("moov", mvhd(false, 600) + trak(false, 1800, "vide"));
    EXPECT_TRUE(durationsOf({}).empty());
    EXPECT_TRUE(durationsOf("not a recording at all").empty());
    EXPECT_TRUE(durationsOf(box("moov", mvhd(false, 0) + trak(false, 1800, "vide"))).empty());
    for (qsizetype cut = 1; cut < moov.size(); cut += 7)
        EXPECT_LE(durationsOf(moov.left(cut)).size(), 1u);
    QByteArray overlong = moov;
    overlong.replace(0, 4, bigEndian(0x7fffffff, 4));
    EXPECT_TRUE(durationsOf(overlong).empty());
}

} // namespace
} // namespace korvane
