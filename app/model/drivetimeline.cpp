#include "model/drivetimeline.h"

#include "base/background.h"
#include "model/cardsession.h"
#include "model/nowplaying.h"
#include "model/recordinglibrary.h"
#include "model/recordingopener.h"
#include "playback/multitrackplayer.h"
#include "records/mp4tracks.h"
#include "services/workingcopy.h"

#include <QPointer>
#include <QVariantMap>

#include <algorithm>
#include <utility>

namespace korvane {

namespace {

// Room at both ends of the strip, so that the first and last drive do not touch its edges.
constexpr double edgeShare = 0.02;
constexpr qint64 leastEdgeMs = 30'000;

struct FoundDrives
{
    QList<Drive> drives;
    QHash<QUuid, double> lengths;
};

// The drives of `rows`, with the lengths of the copies not yet measured read from their files.
FoundDrives drivesOf(const QList<FileListItem> &rows, QHash<QUuid, double> lengths)
{
    for (const FileListItem &row : rows) {
        if (row.read <= 0 || lengths.contains(row.id))
            continue;
        // An unfinished recording's copy has no index to read a length from: it is estimated.
        if (const std::optional<double> seconds = recordingSeconds(localCopy(row)))
            lengths.insert(row.id, *seconds);
    }
    return {findDrives(rows, lengths), std::move(lengths)};
}

QVariantMap stripSpan(double start, double width)
{
    return {{QStringLiteral("start"), start}, {QStringLiteral("width"), width}};
}

} // namespace

DriveTimeline::DriveTimeline(const Parts &parts, QObject *parent)
    : QObject(parent), m_session(parts.session), m_library(parts.library), m_opener(parts.opener),
      m_nowPlaying(parts.nowPlaying), m_player(parts.player)
{
    // Found once the new list's rows are shown: the list comes first, and on two cores the
    // search would slow the filter down.
    connect(m_library, &RecordingLibrary::fileListChanged, this, [this] { m_listChanged = true; });
    connect(m_library->filteredModel(), &QAbstractItemModel::modelReset, this, [this] {
        if (std::exchange(m_listChanged, false))
            findDrivesAgain();
    });
    connect(m_library, &RecordingLibrary::rowCopied, this, [this] { findDrivesAgain(); });
    connect(m_session, &CardSession::cardLeft, this, &DriveTimeline::forgetCard);
    // A recording played to its end goes on with what follows it in its drive.
    m_opener->setFollowing([this](const FileListItem &row) { return following(row); });
    connect(m_nowPlaying, &NowPlaying::openTitleChanged, this,
            &DriveTimeline::openRecordingChanged);
    connect(m_nowPlaying, &NowPlaying::shockMarksChanged, this, &DriveTimeline::marksChanged);
    connect(m_player, &MultiTrackPlayer::currentTimeChanged, this, &DriveTimeline::positionChanged);
    connect(m_player, &MultiTrackPlayer::durationChanged, this, &DriveTimeline::driveClockChanged);
    connect(this, &DriveTimeline::drivesChanged, this, &DriveTimeline::driveClockChanged);
    connect(m_player, &MultiTrackPlayer::stateChanged, this, &DriveTimeline::driveClockChanged);
}

void DriveTimeline::forgetCard()
{
    ++m_generation;
    m_lengths.clear();
    m_drives.clear();
    emit drivesChanged();
    showDay({});
}

QCoro::Task<> DriveTimeline::findDrivesAgain()
{
    QPointer<DriveTimeline> self(this);
    const quint64 generation = ++m_generation;
    QCoro::Task<FoundDrives> finding = inBackground(
        [rows = m_library->fileList(), lengths = m_lengths] { return drivesOf(rows, lengths); });
    FoundDrives found = co_await finding;
    if (!self || generation != m_generation)
        co_return;
    m_drives = std::move(found.drives);
    m_lengths = std::move(found.lengths);
    emit drivesChanged();
    const QList<QDate> all = days();
    if (all.contains(m_day)) {
        emit dayChanged();
        emit marksChanged();
        emit positionChanged();
    } else {
        showDay(all.isEmpty() ? QDate() : all.last());
    }
}

QList<QDate> DriveTimeline::days() const
{
    QList<QDate> all;
    for (const Drive &drive : m_drives) {
        if (!all.contains(drive.start.date()))
            all.append(drive.start.date());
    }
    std::sort(all.begin(), all.end());
    return all;
}

QList<const Drive *> DriveTimeline::drivesOfDay() const
{
    QList<const Drive *> shown;
    for (const Drive &drive : m_drives) {
        if (drive.start.date() == m_day)
            shown.append(&drive);
    }
    return shown;
}

std::pair<QDateTime, QDateTime> DriveTimeline::span() const
{
    const QList<const Drive *> shown = drivesOfDay();
    if (shown.isEmpty())
        return {};
    QDateTime first = shown.front()->start, last = shown.front()->end;
    for (const Drive *drive : shown) {
        first = std::min(first, drive->start);
        last = std::max(last, drive->end);
    }
    const qint64 edge = std::max(
        leastEdgeMs, static_cast<qint64>(static_cast<double>(first.msecsTo(last)) * edgeShare));
    return {first.addMSecs(-edge), last.addMSecs(edge)};
}

double DriveTimeline::pointOf(const QDateTime &moment) const
{
    const auto [first, last] = span();
    const qint64 length = first.msecsTo(last);
    return length > 0 ? static_cast<double>(first.msecsTo(moment)) / static_cast<double>(length)
                      : 0;
}

QDateTime DriveTimeline::momentAt(double point) const
{
    const auto [first, last] = span();
    if (!first.isValid())
        return {};
    return first.addMSecs(
        qRound64(std::clamp(point, 0.0, 1.0) * static_cast<double>(first.msecsTo(last))));
}

QVariantList DriveTimeline::blocks() const
{
    QVariantList list;
    for (const Drive *drive : drivesOfDay()) {
        QVariantMap block =
            stripSpan(pointOf(drive->start), pointOf(drive->end) - pointOf(drive->start));
        block.insert(QStringLiteral("parking"), drive->parking);
        list.append(block);
    }
    return list;
}

QVariantList DriveTimeline::marks() const
{
    QVariantList list;
    for (const Drive *drive : drivesOfDay()) {
        for (const DriveRecording &recording : drive->recordings) {
            const QString color = recording.row.typeColor();
            if (recording.row.type == u"normal" || recording.row.type == u"park" || color.isEmpty())
                continue;
            QVariantMap mark = stripSpan(pointOf(recording.start),
                                         pointOf(recording.end()) - pointOf(recording.start));
            mark.insert(QStringLiteral("color"), color);
            list.append(mark);
        }
    }
    // The open recording's shocks, where its metadata placed them.
    const std::optional<FileListItem> &open = m_nowPlaying->openRecording();
    const std::optional<QDateTime> start = open ? recordingStart(open->name) : std::nullopt;
    if (start && start->date() == m_day && m_player->duration() > 0) {
        for (const double shock : m_nowPlaying->shockMarks()) {
            QVariantMap mark = stripSpan(
                pointOf(start->addMSecs(qRound64(shock * m_player->duration() * 1000))), 0);
            mark.insert(QStringLiteral("color"), QStringLiteral("orange"));
            list.append(mark);
        }
    }
    return list;
}

QString DriveTimeline::dayText() const
{
    return m_day.isValid() ? m_day.toString(QStringLiteral("yyyy/MM/dd")) : QString();
}

QString DriveTimeline::startText() const
{
    const QDateTime first = span().first;
    return first.isValid() ? first.toString(QStringLiteral("HH:mm")) : QString();
}

QString DriveTimeline::endText() const
{
    const QDateTime last = span().second;
    return last.isValid() ? last.toString(QStringLiteral("HH:mm")) : QString();
}

bool DriveTimeline::hasPreviousDay() const
{
    const QList<QDate> all = days();
    return m_day.isValid() && !all.isEmpty() && all.first() < m_day;
}

bool DriveTimeline::hasNextDay() const
{
    const QList<QDate> all = days();
    return m_day.isValid() && !all.isEmpty() && all.last() > m_day;
}

std::optional<QDateTime> DriveTimeline::playedMoment() const
{
    const std::optional<FileListItem> &open = m_nowPlaying->openRecording();
    if (!open || m_player->state() == MultiTrackPlayer::State::Empty)
        return std::nullopt;
    const std::optional<QDateTime> start = recordingStart(open->name);
    if (!start)
        return std::nullopt;
    return start->addMSecs(qRound64(m_player->currentTime() * 1000));
}

double DriveTimeline::position() const
{
    const std::optional<QDateTime> moment = playedMoment();
    const auto [first, last] = span();
    if (!moment || !first.isValid() || *moment < first || *moment > last)
        return -1;
    return pointOf(*moment);
}

QString DriveTimeline::momentText() const
{
    const std::optional<QDateTime> moment = playedMoment();
    return moment ? moment->toString(QStringLiteral("HH:mm:ss")) : QString();
}

const Drive *DriveTimeline::openDrive() const
{
    const std::optional<FileListItem> &open = m_nowPlaying->openRecording();
    if (!open || m_player->state() == MultiTrackPlayer::State::Empty)
        return nullptr;
    for (const Drive &drive : m_drives) {
        if (drive.recordings.size() < 2)
            continue;
        for (const DriveRecording &recording : drive.recordings) {
            if (recording.row.id == open->id)
                return &drive;
        }
    }
    return nullptr;
}

double DriveTimeline::driveProgress() const
{
    const Drive *drive = openDrive();
    const std::optional<QDateTime> moment = playedMoment();
    if (!drive || !moment || drive->start.msecsTo(drive->end) <= 0)
        return 0;
    return std::clamp(static_cast<double>(drive->start.msecsTo(*moment)) /
                          static_cast<double>(drive->start.msecsTo(drive->end)),
                      0.0, 1.0);
}

QString DriveTimeline::driveTimeText() const
{
    const Drive *drive = openDrive();
    const std::optional<QDateTime> moment = playedMoment();
    if (!drive || !moment)
        return {};
    return NowPlaying::clockText(static_cast<double>(drive->start.msecsTo(*moment)) / 1000);
}

QString DriveTimeline::driveLengthText() const
{
    const Drive *drive = openDrive();
    return drive ? NowPlaying::clockText(drive->seconds()) : QString();
}

double DriveTimeline::openStart() const
{
    const Drive *drive = openDrive();
    const std::optional<QDateTime> start =
        drive ? recordingStart(m_nowPlaying->openRecording()->name) : std::nullopt;
    if (!start || drive->seconds() <= 0)
        return 0;
    return static_cast<double>(drive->start.msecsTo(*start)) / 1000 / drive->seconds();
}

double DriveTimeline::openShare() const
{
    const Drive *drive = openDrive();
    if (!drive || drive->seconds() <= 0)
        return 1;
    return m_player->duration() / drive->seconds();
}

QString DriveTimeline::driveTimeTextAt(double point) const
{
    const Drive *drive = openDrive();
    return drive ? NowPlaying::clockText(std::clamp(point, 0.0, 1.0) * drive->seconds())
                 : QString();
}

void DriveTimeline::seekDrive(double point)
{
    if (const Drive *drive = openDrive())
        playMoment(
            drive->start.addMSecs(qRound64(std::clamp(point, 0.0, 1.0) * drive->seconds() * 1000)));
}

void DriveTimeline::showDay(const QDate &day)
{
    m_day = day;
    emit dayChanged();
    emit marksChanged();
    emit positionChanged();
}

void DriveTimeline::showPreviousDay()
{
    const QList<QDate> all = days();
    for (auto it = all.crbegin(); it != all.crend(); ++it) {
        if (*it < m_day) {
            showDay(*it);
            return;
        }
    }
}

void DriveTimeline::showNextDay()
{
    for (const QDate &day : days()) {
        if (day > m_day) {
            showDay(day);
            return;
        }
    }
}

void DriveTimeline::openRecordingChanged()
{
    emit driveClockChanged();
    const std::optional<FileListItem> &open = m_nowPlaying->openRecording();
    // The day of the drive the recording belongs to: a drive past midnight stays on its day.
    for (const Drive &drive : m_drives) {
        for (const DriveRecording &recording : drive.recordings) {
            if (open && recording.row.id == open->id && drive.start.date() != m_day) {
                showDay(drive.start.date());
                return;
            }
        }
    }
    emit marksChanged();
    emit positionChanged();
}

std::optional<RecordingOpener::Following> DriveTimeline::following(const FileListItem &row) const
{
    for (const Drive &drive : m_drives) {
        for (qsizetype i = 0; i < drive.recordings.size(); ++i) {
            if (drive.recordings[i].row.id != row.id)
                continue;
            const std::optional<DrivePlace> place = drive.placeAfter(i);
            if (!place)
                return std::nullopt;
            return RecordingOpener::Following{drive.recordings[place->recording].row,
                                              place->offset};
        }
    }
    return std::nullopt;
}

QCoro::Task<bool> DriveTimeline::playMoment(QDateTime at)
{
    QPointer<DriveTimeline> self(this);
    std::optional<std::pair<const Drive *, DrivePlace>> found;
    for (const Drive &drive : m_drives) {
        if (const std::optional<DrivePlace> place = drive.placeOf(at)) {
            found = {&drive, *place};
            break;
        }
    }
    // In a pause between drives: the next drive of that day from its start.
    for (qsizetype i = 0; !found && i < m_drives.size(); ++i) {
        if (m_drives[i].start > at && m_drives[i].start.date() == at.date()) {
            if (const std::optional<DrivePlace> place = m_drives[i].placeOf(m_drives[i].start))
                found = {&m_drives[i], *place};
        }
    }
    if (!found)
        co_return false;
    const FileListItem row = found->first->recordings[found->second.recording].row;
    const double offset = found->second.offset;
    const std::optional<FileListItem> &open = m_nowPlaying->openRecording();
    // Within the open recording a seek does: nothing opens again.
    if (open && open->id == row.id && !m_library->isSelecting() && m_player->duration() > 0) {
        m_player->seek(std::min(offset / m_player->duration(), 1.0));
        co_return true;
    }
    if (!m_library->filteredModel()->indexOf(row.id)) {
        co_await m_library->showRowsOf(row.type);
        if (!self)
            co_return false;
    }
    QCoro::Task<> opening = m_opener->select(row, offset);
    co_await opening;
    if (!self)
        co_return false;
    const std::optional<FileListItem> &opened = m_nowPlaying->openRecording();
    co_return opened && opened->id == row.id;
}

void DriveTimeline::playAt(double point)
{
    playMoment(momentAt(point));
}

} // namespace korvane
