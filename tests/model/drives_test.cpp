// The drive strip of the window's model: the card's trips as drives of a day, and a moment chosen
// on it played from the right picture of the recording that holds it, on recordings ffmpeg's
// segment muxer cut and on the sample card's trips.
#include "ext4image.h"
#include "modeltestsupport.h"
#include "playbacktestsupport.h"
#include "samplerecordings.h"
#include "segmentedtrip.h"
#include "services/playablefile.h"
#include "services/workingcopy.h"
#include "testfiles.h"

#include <QCoroTask>
#include <QDir>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <optional>

using namespace korvane;
using korvane::test::CardModel;
using korvane::test::ProgramRun;
using korvane::test::run;

namespace {

double trackSeconds(const QString &path)
{
    const ProgramRun probe =
        run(QStringLiteral("ffprobe"), {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                        "stream=duration", "-of", "csv=p=0", path});
    return probe.out.trimmed().toDouble();
}

// The clock of the first tick after the player starts.
class FirstTick
{
public:
    explicit FirstTick(MultiTrackPlayer &player) : m_player(player)
    {
        m_connection = QObject::connect(&player, &MultiTrackPlayer::currentTimeChanged, [this] {
            if (m_player.isPlaying() && !m_time)
                m_time = m_player.currentTime();
        });
    }
    ~FirstTick() { QObject::disconnect(m_connection); }
    std::optional<double> time() const { return m_time; }
    void reset() { m_time.reset(); }

private:
    MultiTrackPlayer &m_player;
    QMetaObject::Connection m_connection;
    std::optional<double> m_time;
};

QDateTime moment(const char *text)
{
    return *driveTimeFromText(QString::fromLatin1(text));
}

} // namespace

TEST(DriveStrip, AMomentPlaysFromItsPictureInTheRecordingThatHoldsIt)
{
    QTemporaryDir work;
    // Ten seconds cut every four: 14:30:00, 14:30:04 and 14:30:08, the last two seconds long.
    const QStringList pieces = korvane::test::writeSegmentedCard(work, 10, 4);
    ASSERT_EQ(pieces.size(), 3);

    CardModel card(work.filePath(QStringLiteral("card.img")));
    AppViewModel &model = card.model();
    card.loadCard();
    DriveTimeline &timeline = *model.timeline();
    QCoro::waitFor(timeline.findDrivesAgain());
    ASSERT_EQ(timeline.drives().size(), 1);
    const Drive &drive = timeline.drives().front();
    ASSERT_EQ(drive.recordings.size(), 3);
    // Every copy was read: the lengths are the files' own, the last one's too.
    for (qsizetype k = 0; k < 3; ++k)
        EXPECT_NEAR(drive.recordings[k].seconds, trackSeconds(pieces[k]), 1.0 / 30) << k;
    EXPECT_EQ(timeline.dayText(), QStringLiteral("2024/10/05"));
    EXPECT_EQ(timeline.blocks().size(), 1);
    EXPECT_EQ(timeline.position(), -1);

    MultiTrackPlayer &player = *model.playerManager();
    FirstTick firstTick(player);
    struct Case
    {
        const char *at;
        qsizetype piece;
        double offset;
    };
    // Into the second piece from nothing open; into the third; back within the third. A moment
    // after the last drive is no moment of any.
    for (const Case &c : {Case{"2024-10-05 14:30:06", 1, 2.0}, Case{"2024-10-05 14:30:09", 2, 1.0},
                          Case{"2024-10-05 14:30:08", 2, 0.0}}) {
        firstTick.reset();
        ASSERT_TRUE(QCoro::waitFor(timeline.playMoment(moment(c.at)))) << c.at;
        card.waitUntilOpened();
        // A moment of the open recording is sought where it stands, paused here.
        if (!player.isPlaying())
            player.play();
        ASSERT_TRUE(model.nowPlaying()->openRecording());
        EXPECT_EQ(model.nowPlaying()->openRecording()->name, QFileInfo(pieces[c.piece]).fileName())
            << c.at;
        // The clock starts at the moment chosen, not at the recording's start.
        ASSERT_TRUE(korvane::test::waitUntil([&] { return firstTick.time().has_value(); }));
        EXPECT_GE(*firstTick.time(), c.offset - 0.04) << c.at;
        EXPECT_LT(*firstTick.time(), c.offset + 0.5) << c.at;

        // The pictures are the piece's own at the clock: ffmpeg's decode of the same file.
        player.pause();
        ASSERT_TRUE(korvane::test::waitUntilSettled(player));
        for (ChannelPlayer *channel : model.nowPlaying()->videoPlayers()) {
            const QSize size = channel->channel() == 0 ? QSize(320, 240) : QSize(160, 120);
            const QByteArray frames =
                korvane::test::referenceFrames(pieces[c.piece], channel->channel());
            const int index = korvane::test::pictureAt(pieces[c.piece], channel->channel(),
                                                       channel->currentFrameTime().value_or(-1));
            EXPECT_EQ(korvane::test::lumaPlane(channel->currentFrame()),
                      korvane::test::referenceLuma(frames, index, size.width(), size.height()))
                << c.at << " channel " << channel->channel();
        }
        // The strip's line stands at the moment shown.
        const std::optional<QDateTime> shown = timeline.playedMoment();
        ASSERT_TRUE(shown);
        EXPECT_LE(std::abs(shown->msecsTo(
                      moment(c.at).addMSecs(qRound64((player.currentTime() - c.offset) * 1000)))),
                  1)
            << c.at;
        const auto spanMs = static_cast<double>(timeline.momentAt(0).msecsTo(timeline.momentAt(1)));
        EXPECT_NEAR(timeline.position(),
                    static_cast<double>(timeline.momentAt(0).msecsTo(*shown)) / spanMs, 1e-9);
        EXPECT_EQ(timeline.momentText(), shown->toString(QStringLiteral("HH:mm:ss")));
    }
    EXPECT_FALSE(QCoro::waitFor(timeline.playMoment(moment("2024-10-05 14:31:00"))));

    // The seek bar runs on the drive's ten seconds: 45 % of it is half a second into the second
    // piece, which starts at 40 % of it and takes about as much.
    firstTick.reset();
    timeline.seekDrive(0.45);
    ASSERT_TRUE(korvane::test::waitUntil([&] {
        return model.nowPlaying()->openRecording() &&
               model.nowPlaying()->openRecording()->name == QFileInfo(pieces[1]).fileName() &&
               !model.library()->isSelecting();
    }));
    EXPECT_TRUE(timeline.drivePlays());
    EXPECT_EQ(timeline.driveLengthText(), QStringLiteral("00:00:10"));
    EXPECT_NEAR(timeline.openStart(), 0.4, 0.005);
    EXPECT_NEAR(timeline.openShare(), 0.4, 0.005);
    ASSERT_TRUE(korvane::test::waitUntil([&] { return firstTick.time().has_value(); }));
    EXPECT_GE(*firstTick.time(), 0.45 * drive.seconds() - 4 - 0.04);
    EXPECT_LT(*firstTick.time(), 0.45 * drive.seconds() - 4 + 0.5);
    player.pause();
    ASSERT_TRUE(korvane::test::waitUntilSettled(player));
    EXPECT_NEAR(timeline.driveProgress(), (4 + player.currentTime()) / drive.seconds(), 0.001);
    EXPECT_EQ(timeline.driveTimeText(), NowPlaying::clockText(4 + player.currentTime()));
}

TEST(DriveStrip, TheSampleCardsTripsAreItsDrivesDayByDay)
{
    CardModel card(korvane::test::sampleCardImage({"--seconds", "2", "--trips"}));
    AppViewModel &model = card.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    DriveTimeline &timeline = *model.timeline();
    QCoro::waitFor(timeline.findDrivesAgain());

    // The newest day first: its two trips, the event inside the first marked in red.
    EXPECT_EQ(timeline.dayText(), QStringLiteral("2024/10/06"));
    const QVariantList blocks = timeline.blocks();
    ASSERT_EQ(blocks.size(), 2);
    EXPECT_LT(blocks[0].toMap()[QStringLiteral("start")].toDouble() +
                  blocks[0].toMap()[QStringLiteral("width")].toDouble(),
              blocks[1].toMap()[QStringLiteral("start")].toDouble());
    const QVariantList marks = timeline.marks();
    ASSERT_EQ(marks.size(), 1);
    EXPECT_EQ(marks[0].toMap()[QStringLiteral("color")], QStringLiteral("red"));
    EXPECT_TRUE(timeline.hasPreviousDay());
    EXPECT_FALSE(timeline.hasNextDay());
    const Drive *trip = nullptr;
    for (const Drive &drive : timeline.drives()) {
        if (drive.start == moment("2024-10-06 09:00:00"))
            trip = &drive;
    }
    ASSERT_TRUE(trip);
    ASSERT_EQ(trip->recordings.size(), 4);
    EXPECT_EQ(trip->eventCount(), 1);
    EXPECT_FALSE(trip->recordings[2].plays);

    // The day before: four lone recordings, a manual one among them; then the parking night.
    timeline.showPreviousDay();
    EXPECT_EQ(timeline.dayText(), QStringLiteral("2024/10/05"));
    EXPECT_EQ(timeline.blocks().size(), 4);
    timeline.showPreviousDay();
    EXPECT_EQ(timeline.dayText(), QStringLiteral("2024/10/04"));
    ASSERT_EQ(timeline.blocks().size(), 1);
    EXPECT_TRUE(timeline.blocks()[0].toMap()[QStringLiteral("parking")].toBool());
    EXPECT_FALSE(timeline.hasPreviousDay());

    // A moment of the event's seconds plays the continuous recording, from the event tab too.
    QCoro::waitFor(model.library()->showRowsOf(QStringLiteral("event")));
    ASSERT_TRUE(QCoro::waitFor(timeline.playMoment(moment("2024-10-06 09:00:03"))));
    card.waitUntilOpened();
    EXPECT_EQ(model.nowPlaying()->openRecording()->name, QStringLiteral("N_20241006_090002.mp4"));
    EXPECT_EQ(model.library()->currentType(), QStringLiteral("normal"));
    EXPECT_EQ(timeline.dayText(), QStringLiteral("2024/10/06"));
    EXPECT_GE(timeline.position(), 0);
}

TEST(DriveStrip, PlayingOnAcrossCutsShowsEveryPictureOfEveryPieceInOrder)
{
    QTemporaryDir work;
    const QStringList pieces = korvane::test::writeSegmentedCard(work, 10, 4);
    ASSERT_EQ(pieces.size(), 3);

    // Each piece's pictures by their luma, as ffmpeg decodes them, per channel, and the pictures
    // to show in order. ffmpeg repeats a picture to fill a gap before a track's first one: a
    // picture equal to the one before is one picture.
    const QSize sizes[] = {QSize(320, 240), QSize(160, 120)};
    QHash<QString, std::array<QHash<QByteArray, int>, 2>> indexOf;
    std::array<QStringList, 2> expected;
    for (const QString &piece : pieces) {
        const QString name = QFileInfo(piece).fileName();
        for (int channel = 0; channel < 2; ++channel) {
            const QByteArray frames = korvane::test::referenceFrames(piece, channel);
            const int frameBytes = sizes[channel].width() * sizes[channel].height() * 3 / 2;
            const int count = static_cast<int>(frames.size() / frameBytes);
            QByteArray previous;
            for (int i = 0; i < count; ++i) {
                const QByteArray luma = korvane::test::referenceLuma(
                    frames, i, sizes[channel].width(), sizes[channel].height());
                if (luma == previous)
                    continue;
                indexOf[name][channel].insert(luma, i);
                expected[channel].append(name.mid(11, 6) + ':' + QString::number(i));
                previous = luma;
            }
        }
    }

    CardModel card(work.filePath(QStringLiteral("card.img")));
    AppViewModel &model = card.model();
    card.loadCard();
    MultiTrackPlayer &player = *model.playerManager();
    // What each channel showed, as "piece time:picture" in the order shown; picture -1 for one
    // that is none of the piece's.
    std::array<QStringList, 2> shown;
    std::vector<QMetaObject::Connection> watching;
    const auto watch = [&] {
        for (ChannelPlayer *channel : player.videoPlayers()) {
            watching.push_back(
                QObject::connect(channel, &ChannelPlayer::frameChanged, [&, channel] {
                    const QString piece = QFileInfo(channel->filePath()).fileName();
                    const int c = channel->channel();
                    const QByteArray luma = korvane::test::lumaPlane(channel->currentFrame());
                    const QString picture =
                        piece.mid(11, 6) + ':' +
                        QString::number(indexOf.value(piece)[c].value(luma, -1));
                    if (shown[c].isEmpty() || shown[c].last() != picture)
                        shown[c].append(picture);
                }));
        }
    };
    const QMetaObject::Connection loads =
        QObject::connect(&player, &MultiTrackPlayer::videoPlayersChanged, watch);
    // While a piece plays, the one that follows is opened in the player, to take over at once.
    QStringList readyBeforeTheirTurn;
    const QMetaObject::Connection ticks =
        QObject::connect(&player, &MultiTrackPlayer::currentTimeChanged, [&] {
            for (const FileListItem &row : model.library()->filtered()) {
                if (player.hasPreloaded(QUrl::fromLocalFile(localCopy(row))) &&
                    !readyBeforeTheirTurn.contains(row.name))
                    readyBeforeTheirTurn.append(row.name);
            }
        });

    QCoro::waitFor(model.opener()->selectAt(card.row(QFileInfo(pieces[0]).fileName())));
    const QString last = QFileInfo(pieces[2]).fileName();
    ASSERT_TRUE(korvane::test::waitUntil(
        [&] {
            return player.state() == MultiTrackPlayer::State::Ended &&
                   model.nowPlaying()->openRecording() &&
                   model.nowPlaying()->openRecording()->name == last;
        },
        60000));
    QObject::disconnect(loads);
    QObject::disconnect(ticks);
    EXPECT_EQ(readyBeforeTheirTurn,
              (QStringList{QFileInfo(pieces[1]).fileName(), QFileInfo(pieces[2]).fileName()}));
    for (const QMetaObject::Connection &connection : watching)
        QObject::disconnect(connection);

    // Every picture of every piece, in order, on both channels: nothing lost or repeated at a cut.
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(shown[c].join(' ').toStdString(), expected[c].join(' ').toStdString())
            << "channel " << c;
    }
}

namespace {

// The points of a GPX track as an independent reader sees them: every trkpt's lat and lon.
QList<std::pair<double, double>> gpxPoints(const QByteArray &gpx)
{
    QList<std::pair<double, double>> points;
    QXmlStreamReader xml(gpx);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"trkpt")
            points.append({xml.attributes().value(QLatin1String("lat")).toDouble(),
                           xml.attributes().value(QLatin1String("lon")).toDouble()});
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return points;
}

} // namespace

TEST(DriveStrip, TheMapShowsTheWholeRouteOfTheDriveAndAPlaceOnItPlaysFromThere)
{
    CardModel card(korvane::test::sampleCardImage({"--seconds", "3", "--trips"}));
    AppViewModel &model = card.model();
    card.loadCard();
    QCoro::waitFor(model.timeline()->findDrivesAgain());
    QCoro::waitFor(model.opener()->selectAt(card.row(QStringLiteral("N_20241006_090000.mp4"))));
    card.waitUntilOpened();
    QCoro::waitFor(model.driveRoute()->findRouteAgain());

    // The drive's route is the GPX tracks of the recordings it plays, one after the other; the
    // event's copy of the same seconds adds nothing.
    QList<std::pair<double, double>> expected;
    QList<int> firstOf;
    for (const char *name :
         {"N_20241006_090000.mp4", "N_20241006_090003.mp4", "N_20241006_090006.mov"}) {
        const FileListItem row = model.library()->filtered()[card.row(QString::fromLatin1(name))];
        const ProgramRun gpx = run(QStringLiteral(KORVANE_CLI_PATH), {"gpx", localCopy(row)});
        ASSERT_EQ(gpx.exitCode, 0) << name << gpx.err.toStdString();
        firstOf.append(static_cast<int>(expected.size()));
        expected += gpxPoints(gpx.out);
    }
    const QVariantList route = model.mapPosition()->route();
    ASSERT_EQ(route.size(), expected.size());
    ASSERT_GT(route.size(), 6);
    for (qsizetype i = 0; i < route.size(); ++i) {
        const QVariantList point = route[i].toList();
        EXPECT_NEAR(point[0].toDouble(), expected[i].first, 1e-7) << i;
        EXPECT_NEAR(point[1].toDouble(), expected[i].second, 1e-7) << i;
    }

    // A place on the third recording's stretch plays it, from when the car was there.
    // Its GPS records come one a second, each fix of its own second: the second fix's moment is
    // the recording's start and the share of its length that second is.
    const std::pair<double, double> place = expected[firstOf[2] + 1];
    const DriveRoute::Place &chosen = model.driveRoute()->places()[firstOf[2] + 1];
    ASSERT_EQ(chosen.point.latitude, route[firstOf[2] + 1].toList()[0].toDouble());
    EXPECT_GT(chosen.moment, moment("2024-10-06 09:00:06"));
    EXPECT_LT(chosen.moment, moment("2024-10-06 09:00:09"));
    // Paused, so that the first tick seen is the new recording's.
    model.playerManager()->pause();
    FirstTick firstTick(*model.playerManager());
    model.mapPosition()->chooseRoutePoint(place.first, place.second);
    ASSERT_TRUE(korvane::test::waitUntil(
        [&] {
            return model.nowPlaying()->openRecording() &&
                   model.nowPlaying()->openRecording()->name == u"N_20241006_090006.mov" &&
                   !model.library()->isSelecting();
        },
        30000));
    ASSERT_TRUE(korvane::test::waitUntil([&] { return firstTick.time().has_value(); }));
    const double offset =
        static_cast<double>(moment("2024-10-06 09:00:06").msecsTo(chosen.moment)) / 1000;
    EXPECT_GE(*firstTick.time(), offset - 0.04);
    EXPECT_LT(*firstTick.time(), offset + 0.5);
    // The route stays the drive's while its recordings play.
    EXPECT_EQ(model.mapPosition()->route().size(), expected.size());
}

TEST(DriveStrip, AtItsEndARecordingHandsOnToWhatHoldsTheNextSecondOfItsDrive)
{
    // Recordings of 4 s: 09:00:00, 09:00:04, 09:00:08 (unfinished), and the event of 09:00:06.
    CardModel card(korvane::test::sampleCardImage({"--seconds", "4", "--trips"}));
    AppViewModel &model = card.model();
    card.loadCard();
    DriveTimeline &timeline = *model.timeline();
    QCoro::waitFor(timeline.findDrivesAgain());
    // Every type in one list, newest first: the event lies between the two continuous ones.
    QCoro::waitFor(model.library()->showRowsOf(QStringLiteral("all")));
    QStringList opened;
    const QMetaObject::Connection opens =
        QObject::connect(model.nowPlaying(), &NowPlaying::openTitleChanged, [&] {
            const std::optional<FileListItem> &open = model.nowPlaying()->openRecording();
            if (open && (opened.isEmpty() || opened.last() != open->name))
                opened.append(open->name);
        });
    bool rebuiltAtTheCut = false;
    const QMetaObject::Connection messages =
        QObject::connect(model.notifications(), &Notifications::procMessageChanged, [&] {
            if (model.notifications()->procMessage() == QVariant(rebuildingMessage()))
                rebuiltAtTheCut = true;
        });

    MultiTrackPlayer &player = *model.playerManager();
    ASSERT_TRUE(QCoro::waitFor(timeline.playMoment(moment("2024-10-06 09:00:04"))));
    card.waitUntilOpened();
    // Held until the unfinished one that follows is rebuilt and open beside it.
    player.pause();
    const FileListItem unfinished =
        model.library()->filtered()[card.row(QStringLiteral("N_20241006_090008.mov"))];
    ASSERT_TRUE(korvane::test::waitUntil(
        [&] { return model.opener()->preparedNext() == unfinished.id; }, 60000));
    player.play();
    // It plays to its end and on into the next drive, the row above it.
    ASSERT_TRUE(korvane::test::waitUntil(
        [&] { return opened.size() >= 3 && !model.library()->isSelecting(); }, 60000))
        << opened.join(' ').toStdString();
    QObject::disconnect(opens);
    QObject::disconnect(messages);
    // Not the event above it in the list, whose seconds the continuous recordings hold; and the
    // rebuild made while the one before played.
    EXPECT_EQ(opened, (QStringList{"N_20241006_090004.mp4", "N_20241006_090008.mov",
                                   "N_20241006_093000.mp4"}));
    EXPECT_FALSE(rebuiltAtTheCut);
}
