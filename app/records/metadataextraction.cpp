#include "records/metadataextraction.h"

#include "base/background.h"
#include "records/decimaltext.h"
#include "records/frametagsearch.h"
#include "base/mainthreadcall.h"
#include "records/texttrim.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <array>

namespace korvane {

namespace {

constexpr qsizetype headerSize = 8; // three tag letters and a five-digit payload length
constexpr qsizetype shockPayloadSize = 15;

std::optional<QString> asciiText(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) > 0x7f)
            return std::nullopt;
    }
    return QString::fromLatin1(bytes);
}

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

bool isBlankOrLineEnd(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

std::optional<QJsonObject> decodeGps(QByteArrayView payload)
{
    const auto text = asciiText(payload);
    if (!text)
        return std::nullopt;
    // Control characters first, then blanks: a sentence padded as " $GPRMC...\r\n" keeps no
    // trace of either, while a control character inside the blanks stays.
    const QString sentence =
        trimmedWhere(trimmedWhere(*text, isControl), isBlankOrLineEnd).toString();
    return QJsonObject{{QStringLiteral("type"), QStringLiteral("gps_info")},
                       {QStringLiteral("nmea"), sentence}};
}

std::optional<QJsonObject> decodeShock(QByteArrayView payload)
{
    if (payload.size() < shockPayloadSize)
        return std::nullopt;
    const auto byte = [&](qsizetype i) {
        return static_cast<int>(static_cast<unsigned char>(payload[i]));
    };
    const QString timestamp = QString::asprintf("20%02d-%02d-%02d %02d:%02d:%02d", byte(7), byte(8),
                                                byte(9), byte(10), byte(11), byte(12));
    const QJsonObject accel{{QStringLiteral("x"), byte(1) - 128},
                            {QStringLiteral("y"), byte(2) - 128},
                            {QStringLiteral("z"), byte(3) - 128}};
    return QJsonObject{{QStringLiteral("type"), QStringLiteral("gsensor_info")},
                       {QStringLiteral("accel"), accel},
                       {QStringLiteral("timestamp"), timestamp}};
}

std::optional<QJsonObject> decodeChannelTable(QByteArrayView payload)
{
    static const QRegularExpression channelTable(QStringLiteral(R"(vid:\[\d+\][0-9.:]+)"));
    const auto text = asciiText(payload);
    if (!text)
        return std::nullopt;
    const QRegularExpressionMatch match = channelTable.match(*text);
    if (!match.hasMatch())
        return std::nullopt;

    const QStringView table = match.capturedView();
    const qsizetype close = table.indexOf(u']');
    const int channelCount = readDecimal(table.sliced(5, close - 5)).value_or(0);

    QJsonArray channels;
    for (const QStringView entry : table.sliced(close + 1).split(u':', Qt::SkipEmptyParts)) {
        const auto parts = entry.split(u'.', Qt::SkipEmptyParts);
        if (parts.size() != 3)
            continue;
        std::array<int, 3> values{};
        bool valid = true;
        for (size_t i = 0; i < values.size() && valid; ++i) {
            values[i] = readDecimal(parts[static_cast<qsizetype>(i)]).value_or(0);
            valid = values[i] > 0;
        }
        if (valid) {
            channels.append(QJsonObject{{QStringLiteral("width"), values[0]},
                                        {QStringLiteral("height"), values[1]},
                                        {QStringLiteral("fps"), values[2]}});
        }
    }

    QJsonObject record{{QStringLiteral("type"), QStringLiteral("video_info")},
                       {QStringLiteral("channelCount"), channelCount}};
    if (!channels.isEmpty())
        record.insert(QStringLiteral("channels"), channels);
    return record;
}

const QJsonObject &unreadableFileRecord()
{
    static const QJsonObject record{{QStringLiteral("error"), QStringLiteral("Cannot read file")}};
    return record;
}

} // namespace

std::optional<QJsonObject> decodeFrame(QByteArrayView tag, QByteArrayView payload)
{
    if (tag == "DAT")
        return decodeChannelTable(payload);
    if (tag == "GPS")
        return decodeGps(payload);
    if (tag == "SHO")
        return decodeShock(payload);
    return std::nullopt;
}

namespace {

struct ScannedFrames
{
    MediaRecords records;
    QByteArray frames; // the frames that gave the records, whole, when asked for
};

ScannedFrames scanFrames(QByteArrayView data, bool keepFrames)
{
    // Each tag is searched on its own terms: a tag's search resumes after its own accepted frame
    // and stops for good at its own truncated frame, without moving the other tags' searches.
    // One pass over the hits of all three tags gives exactly that, at a third of the reading.
    struct TagSearch
    {
        QByteArrayView tag;
        qsizetype resumeAt = 0;
        bool done = false;
        MediaRecords records;
        QByteArray frames;
    };
    std::array<TagSearch, 3> searches{
        {{"DAT", 0, false, {}, {}}, {"GPS", 0, false, {}, {}}, {"SHO", 0, false, {}, {}}}};
    const qsizetype size = data.size();

    for (qsizetype from = 0;;) {
        const FrameTagHit hit = findNextFrameTag(data.data(), size, from);
        if (hit.position < 0)
            break;
        from = hit.position + 1;
        TagSearch &search = searches[static_cast<size_t>(hit.tag)];
        if (search.done || hit.position < search.resumeAt)
            continue;

        const qsizetype p = hit.position;
        if (p + headerSize > size) {
            search.done = true;
        } else if (const auto length = readDecimal(data.sliced(p + 3, 5)); !length || *length < 0) {
            // A negative length would send the search backwards: it is as unreadable as garbage.
            search.resumeAt = p + headerSize;
        } else if (*length > size - p - headerSize) {
            search.done = true;
        } else {
            if (auto record = decodeFrame(search.tag, data.sliced(p + headerSize, *length))) {
                search.records.append(std::move(*record));
                if (keepFrames)
                    search.frames.append(data.sliced(p, headerSize + *length));
            }
            search.resumeAt = p + headerSize + *length;
        }
        if (searches[0].done && searches[1].done && searches[2].done)
            break;
    }

    ScannedFrames scanned;
    for (TagSearch &search : searches) {
        scanned.records.append(search.records);
        scanned.frames.append(search.frames);
    }
    return scanned;
}

// The scan over a file's bytes, mapped where it can be: recordings are hundreds of megabytes.
// Files that cannot be mapped (empty, or not regular files) are read instead. Nothing when the
// file cannot be read.
std::optional<ScannedFrames> scanFile(const QString &path, bool keepFrames)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 size = file.size();
    if (size > 0) {
        if (uchar *mapped = file.map(0, size)) {
            ScannedFrames scanned = scanFrames(
                QByteArrayView(reinterpret_cast<const char *>(mapped), size), keepFrames);
            file.unmap(mapped);
            return scanned;
        }
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return scanFrames(bytes, keepFrames);
}

} // namespace

MediaRecords scanMediaRecords(QByteArrayView data)
{
    return scanFrames(data, false).records;
}

MediaRecords extractMediaRecords(const QString &path)
{
    if (std::optional<ScannedFrames> scanned = scanFile(path, false))
        return std::move(scanned->records);
    return {unreadableFileRecord()};
}

std::optional<QByteArray> extractMetadataFrames(const QString &path)
{
    if (std::optional<ScannedFrames> scanned = scanFile(path, true))
        return std::move(scanned->frames);
    return std::nullopt;
}

void extractMediaRecordsAsync(const QString &path, std::function<void(MediaRecords)> completion)
{
    // Handed over as a queued call, never as a direct one: a continuation attached to work that
    // has already finished would run at once, inside this call, before its caller is ready.
    runInBackground([path, completion = std::move(completion)] {
        MediaRecords records;
        try {
            records = extractMediaRecords(path);
        } catch (const std::exception &) {
            // Out of memory for a huge file: the caller still hears back.
            records = MediaRecords{unreadableFileRecord()};
        }
        callOnMainThread(QCoreApplication::instance(),
                         [completion, records = std::move(records)]() mutable {
                             completion(std::move(records));
                         });
    });
}

QByteArray mediaRecordsJson(const MediaRecords &records)
{
    QJsonArray array;
    for (const QJsonObject &record : records)
        array.append(record);
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

} // namespace korvane
