#include "rawrecording.h"

#include "testfiles.h"

#include <QFile>

#include <gtest/gtest.h>

namespace korvane::test {

namespace {

constexpr int clockRate = 600; // ticks a second: every camera rate and sound frame lands on one
constexpr int maxSoundRun = 1000;

struct Unit
{
    qsizetype start;  // where its start code begins
    qsizetype header; // its first byte after the start code
};

// Every unit of an Annex B stream: a start code is 00 00 01, with one more 00 in front when
// there is one.
QList<Unit> unitsOf(const QByteArray &stream)
{
    QList<Unit> units;
    for (qsizetype i = stream.indexOf(QByteArray("\0\0\1", 3)); i >= 0;
         i = stream.indexOf(QByteArray("\0\0\1", 3), i + 3)) {
        const qsizetype start = i > 0 && stream[i - 1] == 0 ? i - 1 : i;
        units.append({start, i + 3});
    }
    return units;
}

int unitType(const QByteArray &bytes, qsizetype header, bool hevc)
{
    const auto first = static_cast<unsigned char>(bytes[header]);
    return hevc ? (first >> 1) & 0x3f : first & 0x1f;
}

bool isDelimiter(int type, bool hevc)
{
    return type == (hevc ? 35 : 9);
}

bool isParameterSet(int type, bool hevc)
{
    return hevc ? type >= 32 && type <= 34 : type == 7 || type == 8;
}

// The dashcam begins every picture with a 4-byte start code.
QByteArray withLongStartCode(QByteArray picture)
{
    if (picture.startsWith(QByteArray("\0\0\1", 3)))
        picture.prepend('\0');
    return picture;
}

// A picture without the units for which `drop` says so.
template <typename Drop> QByteArray without(const QByteArray &picture, bool hevc, Drop drop)
{
    const QList<Unit> units = unitsOf(picture);
    QByteArray kept;
    for (qsizetype k = 0; k < units.size(); ++k) {
        const qsizetype end = k + 1 < units.size() ? units[k + 1].start : picture.size();
        if (!drop(unitType(picture, units[k].header, hevc)))
            kept += picture.mid(units[k].start, end - units[k].start);
    }
    return withLongStartCode(kept);
}

QByteArray bigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>(value >> (24 - 8 * i));
    return bytes;
}

// The dashcam's end of a picture: a filler unit whose run of 0xFF bytes numbers the camera,
// its stop bit, and the camera's picture counter.
QByteArray endMarker(int channel, quint32 counter)
{
    return QByteArray("\0\0\0\1\x0c", 5) + QByteArray(channel, '\xff') + '\x80' +
           bigEndian(counter);
}

QByteArray metadataRecord(const char *tag, const QByteArray &payload, bool zeroForm)
{
    const QByteArray length = QByteArray::number(payload.size()).rightJustified(5, '0');
    return (zeroForm ? QByteArray(2, '\0') : QByteArray()) + tag + length + payload;
}

// What a reader of raw recordings takes for a frame boundary: a start code with anything behind
// it, a metadata tag, a box name. Sound holding one by chance would be another recording.
bool holdsMarker(const QByteArray &bytes)
{
    for (const char *marker : {"DAT00", "GPS00", "SHO00", "mdat", "moov"}) {
        if (bytes.contains(marker))
            return true;
    }
    return bytes.contains(QByteArray("\0\0\0\1", 4));
}

// Where ffprobe finds each sound packet: (position, size).
QList<QPair<qsizetype, qsizetype>> ffprobePackets(const QString &path)
{
    const ProgramRun probe =
        run(QStringLiteral("ffprobe"), {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                        "packet=pos,size", "-of", "default=nw=1", path});
    QList<QPair<qsizetype, qsizetype>> packets;
    qsizetype size = -1;
    for (const QByteArray &line : probe.out.split('\n')) {
        if (line.startsWith("size="))
            size = line.mid(5).toLongLong();
        else if (line.startsWith("pos=") && size >= 0)
            packets.append({line.mid(4).toLongLong(), size});
    }
    return packets;
}

// The source filter of a filter chain told its picture rate.
QString withRate(const QString &chain, int fps)
{
    const qsizetype comma = chain.indexOf(QLatin1Char(','));
    const QString source = comma < 0 ? chain : chain.left(comma);
    return source + QStringLiteral(":rate=%1").arg(fps) +
           (comma < 0 ? QString() : chain.mid(comma));
}

} // namespace

Camera encodeCamera(const QString &folder, const QString &name, int channel, int fps,
                    const QString &source, int frames, const QStringList &codecArguments)
{
    Camera camera;
    camera.channel = channel;
    camera.fps = fps;
    camera.hevc = codecArguments.contains(QStringLiteral("libx265"));
    camera.stream = folder + QLatin1Char('/') + name + (camera.hevc ? ".hevc" : ".h264");
    const ProgramRun encode =
        run(QStringLiteral("ffmpeg"),
            QStringList{"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", withRate(source, fps),
                        "-frames:v", QString::number(frames)} +
                codecArguments + QStringList{"-f", camera.hevc ? "hevc" : "h264", camera.stream});
    EXPECT_EQ(encode.exitCode, 0) << encode.err.constData();
    const QByteArray stream = readFile(camera.stream);
    QList<qsizetype> cuts;
    for (const Unit &unit : unitsOf(stream)) {
        if (isDelimiter(unitType(stream, unit.header, camera.hevc), camera.hevc))
            cuts << unit.start;
    }
    cuts << stream.size();
    for (qsizetype k = 0; k + 1 < cuts.size(); ++k)
        camera.pictures << withLongStartCode(stream.mid(cuts[k], cuts[k + 1] - cuts[k]));
    EXPECT_EQ(camera.pictures.size(), frames) << "the encoder was asked for delimiters";
    return camera;
}

Camera joinCameras(const QString &folder, const QString &name, const QList<Camera> &parts)
{
    Camera joined = parts.first();
    joined.pictures.clear();
    joined.stream = folder + QLatin1Char('/') + name + (joined.hevc ? ".hevc" : ".h264");
    QByteArray stream;
    for (const Camera &part : parts) {
        stream += readFile(part.stream);
        joined.pictures += part.pictures;
    }
    writeFile(joined.stream, stream);
    return joined;
}

void dropDelimiters(Camera &camera)
{
    for (QByteArray &picture : camera.pictures)
        picture =
            without(picture, camera.hevc, [&](int type) { return isDelimiter(type, camera.hevc); });
}

void keepFirstParameterSetsOnly(Camera &camera)
{
    bool seen = false;
    for (QByteArray &picture : camera.pictures) {
        if (seen) {
            picture = without(picture, camera.hevc,
                              [&](int type) { return isParameterSet(type, camera.hevc); });
            continue;
        }
        for (const Unit &unit : unitsOf(picture))
            seen = seen || isParameterSet(unitType(picture, unit.header, camera.hevc), camera.hevc);
    }
}

void setReferenceIdc(Camera &camera, int idc)
{
    for (QByteArray &picture : camera.pictures) {
        for (const Unit &unit : unitsOf(picture)) {
            const auto header = static_cast<unsigned char>(picture[unit.header]);
            if (header & 0x60)
                picture[unit.header] = static_cast<char>((header & 0x9f) | (idc << 5));
        }
    }
}

SoundFrames encodeSound(const QString &folder, int sampleRate, double seconds)
{
    SoundFrames sound;
    sound.sampleRate = sampleRate;
    sound.samplesPerFrame = sampleRate < 32000 ? 576 : 1152;
    const QString file = folder + QStringLiteral("/sound%1.mp3").arg(sampleRate);
    const ProgramRun encode =
        run(QStringLiteral("ffmpeg"),
            {"-nostdin",
             "-v",
             "error",
             "-y",
             "-f",
             "lavfi",
             "-i",
             QStringLiteral("sine=frequency=440:beep_factor=4:sample_rate=%1:duration=%2")
                 .arg(sampleRate)
                 .arg(seconds),
             "-ac",
             "1",
             "-c:a",
             "libmp3lame",
             "-b:a",
             sampleRate <= 8000 ? "16k" : "24k",
             "-write_xing",
             "0",
             "-id3v2_version",
             "0",
             "-f",
             "mp3",
             file});
    EXPECT_EQ(encode.exitCode, 0) << encode.err.constData();
    // The frames where ffprobe finds them.
    const QByteArray bytes = readFile(file);
    for (const auto &[position, size] : ffprobePackets(file))
        sound.frames << bytes.mid(position, size);
    return sound;
}

RawRecording rawRecording(const QList<Camera> &cameras, const SoundFrames &sound)
{
    RawRecording recording;
    QByteArray &out = recording.bytes;
    out += QByteArray("\0\0\0\x18"
                      "ftypmp42\0\0\0\0mp42isom",
                      24);
    out += QByteArray("\0\0\0\0mdat", 8); // the size the dashcam never got to write

    long long ticks = 0;
    for (const Camera &camera : cameras)
        ticks = std::max(ticks, (camera.pictures.size() * clockRate + camera.fps - 1) / camera.fps);
    QList<qsizetype> next(cameras.size(), 0);
    qsizetype nextSound = 0;
    int second = 0;
    for (long long tick = 0; tick <= ticks; ++tick) {
        if (tick % clockRate == 0) {
            // A G-sensor payload that begins with digits, as its samples do.
            const QByteArray gps = "$GPRMC,0530" + QByteArray::number(10 + second % 50) +
                                   ".00,A,3731.9404,N,12658.4511,E,031.5,090.0,051024,,,A*5C";
            out += metadataRecord("GPS00", gps, second % 2 == 1);
            out += metadataRecord("SHO00", "12,-3,980;15,-2,978;11,-4,981", second % 2 == 0);
            ++second;
        }
        bool pictures = false;
        for (qsizetype c = 0; c < cameras.size(); ++c) {
            const Camera &camera = cameras[c];
            while (next[c] < camera.pictures.size() && next[c] * clockRate <= tick * camera.fps) {
                out += camera.pictures[next[c]];
                out += endMarker(camera.channel, static_cast<quint32>(next[c]));
                ++next[c];
                pictures = true;
            }
        }
        if (!pictures)
            continue;
        QByteArray run;
        while (nextSound < sound.frames.size() &&
               static_cast<long long>(nextSound) * sound.samplesPerFrame * clockRate <=
                   tick * sound.sampleRate &&
               run.size() + sound.frames[nextSound].size() <= maxSoundRun) {
            run += sound.frames[nextSound];
            recording.soundUsed << sound.frames[nextSound++];
        }
        EXPECT_FALSE(holdsMarker(run)) << "the sound holds a frame marker by chance";
        out += run;
    }
    return recording;
}

} // namespace korvane::test
