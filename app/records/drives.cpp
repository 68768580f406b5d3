#include "records/drives.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <algorithm>
#include <map>

namespace korvane {

namespace {

// Whether a recording of this folder takes part in drives, and in which kind.
bool drivesWith(const QString &type)
{
    return type == u"normal" || type == u"event" || type == u"manual" || type == u"park";
}

// A length estimated from a size is trusted only this far: a card may claim any size.
constexpr double longestEstimate = 10 * usualRecordingSeconds;

// A recording's length as its copy tells it or, in the continuous folder, as the next cut shows
// it; none when neither does. Event, manual and parking recordings are made one by one, so the
// next one's time says nothing of where one ended. `folder` is in time order.
std::optional<double> measuredLength(const QList<DriveRecording *> &folder, qsizetype i,
                                     const QHash<QUuid, double> &known)
{
    if (const auto it = known.constFind(folder[i]->row.id); it != known.cend() && *it > 0)
        return *it;
    if (folder[i]->row.type == u"normal" && i + 1 < folder.size()) {
        const double gap =
            static_cast<double>(folder[i]->start.msecsTo(folder[i + 1]->start)) / 1000;
        if (gap > 0 && gap <= usualRecordingSeconds + driveJoinSeconds)
            return gap;
    }
    return std::nullopt;
}

// Bytes a second of a measured recording; 0 when its size tells nothing.
double rateOf(const DriveRecording &recording)
{
    return recording.row.size > 0 && recording.seconds > 0
               ? static_cast<double>(recording.row.size) / recording.seconds
               : 0;
}

// Every recording's length: measured where it can be, else its size at the bit rate of the
// nearest measured recording of its folder (the same cameras, the same settings), else at the
// card's middle rate, else the dashcam's usual cut.
void estimateLengths(std::map<QString, QList<DriveRecording *>> &folders,
                     const QHash<QUuid, double> &known)
{
    std::map<QString, QList<bool>> measured;
    std::vector<double> rates;
    for (auto &[type, folder] : folders) {
        std::stable_sort(
            folder.begin(), folder.end(),
            [](const DriveRecording *a, const DriveRecording *b) { return a->start < b->start; });
        QList<bool> &isMeasured = measured[type];
        for (qsizetype i = 0; i < folder.size(); ++i) {
            const std::optional<double> length = measuredLength(folder, i, known);
            isMeasured.append(length.has_value());
            if (length) {
                folder[i]->seconds = *length;
                if (const double rate = rateOf(*folder[i]); rate > 0)
                    rates.push_back(rate);
            }
        }
    }
    double cardRate = 0;
    if (!rates.empty()) {
        std::nth_element(rates.begin(), rates.begin() + rates.size() / 2, rates.end());
        cardRate = rates[rates.size() / 2];
    }
    for (auto &[type, folder] : folders) {
        const QList<bool> &isMeasured = measured[type];
        const auto rateNear = [&](qsizetype i) {
            for (qsizetype distance = 1; distance < folder.size(); ++distance) {
                for (const qsizetype j : {i - distance, i + distance}) {
                    if (j >= 0 && j < folder.size() && isMeasured[j] && rateOf(*folder[j]) > 0)
                        return rateOf(*folder[j]);
                }
            }
            return cardRate;
        };
        for (qsizetype i = 0; i < folder.size(); ++i) {
            if (isMeasured[i])
                continue;
            DriveRecording &recording = *folder[i];
            const double rate = rateNear(i);
            recording.seconds =
                rate > 0 && recording.row.size > 0
                    ? std::min(static_cast<double>(recording.row.size) / rate, longestEstimate)
                    : usualRecordingSeconds;
        }
    }
}

// Whether the continuous recordings of a drive hold every second of `recording`.
bool heldByContinuous(const DriveRecording &recording, const QList<DriveRecording> &all)
{
    // Up to a second of slack: the dashcam's event starts and its cuts are whole seconds.
    const qint64 slack = qRound64(std::min(1.0, recording.seconds / 4) * 1000);
    QDateTime covered = recording.start.addMSecs(slack);
    const QDateTime wanted = recording.end().addMSecs(-slack);
    bool moved = true;
    while (covered < wanted && moved) {
        moved = false;
        for (const DriveRecording &other : all) {
            if (other.row.type == u"normal" && other.start <= covered && other.end() > covered) {
                covered = other.end();
                moved = true;
            }
        }
    }
    return covered >= wanted;
}

} // namespace

std::optional<QDateTime> recordingStart(const QString &name)
{
    static const QRegularExpression stamp(QStringLiteral("_(\\d{8})_(\\d{6})"));
    const QRegularExpressionMatch m = stamp.match(name);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date = QDate::fromString(m.captured(1), QStringLiteral("yyyyMMdd"));
    const QTime time = QTime::fromString(m.captured(2), QStringLiteral("HHmmss"));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, QTimeZone::utc());
}

int Drive::eventCount() const
{
    return static_cast<int>(std::count_if(recordings.cbegin(), recordings.cend(),
                                          [](const DriveRecording &r) { return r.isEvent(); }));
}

std::optional<DrivePlace> Drive::placeOf(const QDateTime &at) const
{
    if (at < start || at >= end)
        return std::nullopt;
    // A continuous recording first: an event repeats its seconds; of two that overlap at a
    // cut, the later one, so that a moment at the cut plays on.
    for (const bool continuousOnly : {true, false}) {
        std::optional<qsizetype> found;
        for (qsizetype i = 0; i < recordings.size(); ++i) {
            const DriveRecording &r = recordings[i];
            if (!r.plays || (continuousOnly && r.row.type != u"normal"))
                continue;
            if (r.start <= at && at < r.end())
                found = i;
        }
        if (found)
            return DrivePlace{*found,
                              static_cast<double>(recordings[*found].start.msecsTo(at)) / 1000};
    }
    for (qsizetype i = 0; i < recordings.size(); ++i) {
        if (recordings[i].plays && recordings[i].start > at)
            return DrivePlace{i, 0};
    }
    return std::nullopt;
}

QDateTime Drive::momentOf(qsizetype index, double offset) const
{
    return recordings[index].start.addMSecs(qRound64(offset * 1000));
}

std::optional<DrivePlace> Drive::placeAfter(qsizetype index) const
{
    std::optional<DrivePlace> place = placeOf(recordings[index].end());
    if (place && place->recording == index)
        return std::nullopt;
    // A file's length can run a little past the next cut (its sound ends a frame or two later):
    // the next recording then plays from its start, not a fraction of a second in.
    if (place && place->offset < cutOverlapSeconds &&
        recordings[place->recording].start >= recordings[index].start)
        place->offset = 0;
    return place;
}

QList<SpanPiece> Drive::piecesOf(const QDateTime &from, const QDateTime &to) const
{
    QList<SpanPiece> pieces;
    std::optional<DrivePlace> place = placeOf(from);
    // A span that starts in a pause starts where the next recording does.
    QDateTime at = place ? momentOf(place->recording, place->offset) : from;
    while (place && at < to) {
        const DriveRecording &recording = recordings[place->recording];
        const std::optional<DrivePlace> next = placeAfter(place->recording);
        const QDateTime handedOn =
            next ? std::min(recording.end(), momentOf(next->recording, next->offset))
                 : recording.end();
        const QDateTime pieceEnd = std::min(to, handedOn);
        if (pieceEnd > at)
            pieces.append({place->recording, place->offset,
                           place->offset + static_cast<double>(at.msecsTo(pieceEnd)) / 1000});
        // A place that would go back in time would loop forever on a card whose times disagree.
        if (!next || pieceEnd >= to || momentOf(next->recording, next->offset) <= at)
            break;
        place = next;
        at = momentOf(next->recording, next->offset);
    }
    return pieces;
}

QList<Drive> findDrives(const QList<FileListItem> &rows, const QHash<QUuid, double> &knownSeconds)
{
    QList<DriveRecording> recordings;
    for (const FileListItem &row : rows) {
        if (!drivesWith(row.type))
            continue;
        if (const std::optional<QDateTime> start = recordingStart(row.name))
            recordings.append(DriveRecording{row, *start});
    }
    std::map<QString, QList<DriveRecording *>> folders;
    for (DriveRecording &recording : recordings)
        folders[recording.row.type].append(&recording);
    estimateLengths(folders, knownSeconds);

    // Continuous recordings first among those that start together: the drive plays from them.
    std::stable_sort(recordings.begin(), recordings.end(),
                     [](const DriveRecording &a, const DriveRecording &b) {
                         if (a.start != b.start)
                             return a.start < b.start;
                         return a.row.type == u"normal" && b.row.type != u"normal";
                     });
    QList<Drive> drives;
    for (const bool parking : {false, true}) {
        std::optional<Drive> drive;
        for (const DriveRecording &recording : recordings) {
            if ((recording.row.type == u"park") != parking)
                continue;
            if (drive &&
                recording.start <= drive->end.addMSecs(qRound64(driveJoinSeconds * 1000))) {
                drive->recordings.append(recording);
                drive->end = std::max(drive->end, recording.end());
                continue;
            }
            if (drive)
                drives.append(std::move(*drive));
            drive = Drive{recording.start, recording.end(), parking, {recording}};
        }
        if (drive)
            drives.append(std::move(*drive));
    }
    for (Drive &drive : drives) {
        for (DriveRecording &recording : drive.recordings)
            recording.plays =
                recording.row.type == u"normal" || !heldByContinuous(recording, drive.recordings);
    }
    std::stable_sort(drives.begin(), drives.end(),
                     [](const Drive &a, const Drive &b) { return a.start < b.start; });
    return drives;
}

QString driveTimeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

std::optional<QDateTime> driveTimeFromText(const QString &text)
{
    // Read as the dashcam's wall clock: no zone of this computer may move or refuse it.
    const QStringList parts = text.trimmed().split(QLatin1Char(' '));
    if (parts.size() != 2)
        return std::nullopt;
    const QDate date = QDate::fromString(parts[0], QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(parts[1], QStringLiteral("HH:mm:ss"));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, QTimeZone::utc());
}

} // namespace korvane
