// The G-sensor graph of an event recording on a card: one point per tenth of a second of player
// time, cut back by a jump, redrawn from 0 when asked, emptied by another recording's data, drawn
// up to the player's time when the records come late; and where a point is drawn.
#include "modeltestsupport.h"
#include "qtprinters.h"
#include "samplerecordings.h"

#include <QCoroTask>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace korvane;
using korvane::test::CardModel;

namespace {

QList<double> times(const GGraphBuffer &buffer)
{
    QList<double> result;
    for (const GSample &sample : buffer.samples())
        result.append(std::round(sample.time * 1000) / 1000);
    return result;
}

// A recording's records as the dashcam writes them: a fix and a G-sensor sample every second.
QString recordsJson(int seconds)
{
    QJsonArray records;
    for (int s = 0; s <= seconds; ++s) {
        const QString body =
            QString::asprintf("GPRMC,0500%02d.00,A,3730.0000,N,12700.0000,E,0.0,0.0,051024,,,A", s);
        unsigned sum = 0;
        for (const QChar c : body)
            sum ^= c.unicode();
        records.append(QJsonObject{
            {"type", "gps_info"},
            {"nmea", QStringLiteral("$%1*%2").arg(body).arg(sum, 2, 16, QLatin1Char('0'))}});
        records.append(QJsonObject{{"type", "gsensor_info"},
                                   {"timestamp", QString::asprintf("2024-10-05 14:00:%02d", s)},
                                   {"accel", QJsonObject{{"x", s}, {"y", -s}, {"z", 1}}}});
    }
    return QString::fromUtf8(QJsonDocument(records).toJson());
}

TEST(GSensorGraph, GrowsATenthAtATimeJumpsBackAndIgnoresTheClocksReset)
{
    CardModel card(korvane::test::sampleCardImage({"--channels", "5", "--seconds", "12"}));
    AppViewModel &model = card.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    QCoro::waitFor(model.opener()->selectAt(card.row(QStringLiteral("N_20241005_143012.mp4"))));
    card.waitUntilOpened();
    ASSERT_FALSE(model.mediaData()->gSensorEvents().isEmpty());
    model.playerManager()->pause();

    // A graph of its own on the model's player and data, fed by hand.
    GSensorGraph graph(model.playerManager(), model.mediaData());
    for (int update = 1; update <= 30; ++update)
        graph.timeChanged(update / 30.0);
    EXPECT_EQ(times(*graph.bufferX()),
              QList<double>({0, 0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1.0}));
    EXPECT_EQ(graph.bufferY()->count(), 12);
    EXPECT_EQ(graph.bufferZ()->count(), 12);
    const std::optional<GSensorInfo> at = model.mediaData()->gSensorAt(0.5);
    ASSERT_TRUE(at);
    EXPECT_EQ(graph.bufferY()->samples()[6], (GSample{0.5, at->accel.y}));

    graph.timeChanged(0);
    EXPECT_EQ(graph.bufferX()->count(), 12) << "the clock's reset to 0 is ignored";

    graph.timeChanged(11.3);
    EXPECT_EQ(times(*graph.bufferX()).last(), 11.3);
    graph.timeChanged(5.0);
    QList<double> expected({0, 0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1.0, 5.0});
    EXPECT_EQ(times(*graph.bufferX()), expected) << "later points cut, one at 5.0";

    // Redrawn from 0 to the player's time: every tenth before it.
    model.playerManager()->seek(2.05 / model.playerManager()->duration());
    graph.rebuild();
    EXPECT_EQ(graph.bufferX()->count(), 21);
    EXPECT_DOUBLE_EQ(graph.lastAppendTime(), model.playerManager()->currentTime());

    // Another recording's data empties it.
    model.mediaData()->reset();
    EXPECT_EQ(graph.bufferX()->count(), 0);
    EXPECT_EQ(graph.lastAppendTime(), 0);

    // Records that come after the paused player was moved are drawn up to it at once.
    ASSERT_EQ(model.mediaData()->load(recordsJson(12), model.playerManager()->duration()),
              std::nullopt);
    EXPECT_EQ(graph.bufferX()->count(), 21);
    EXPECT_EQ(graph.bufferY()->samples().last().value, -2);
}

TEST(GSensorGraph, PointsAcrossTheLengthAndBetweenPlusAndMinusFifty)
{
    const QSizeF size(200, 100);
    EXPECT_EQ(graphPoint({5, 0}, 10, size), QPointF(100, 50));
    EXPECT_EQ(graphPoint({0, 90}, 10, size), QPointF(0, 0)) << "beyond +50: the top edge";
    EXPECT_EQ(graphPoint({10, -90}, 10, size), QPointF(200, 100)) << "beyond -50: the bottom";
    EXPECT_EQ(graphPoint({12, 25}, 10, size), QPointF(200, 25)) << "past the end: the right edge";
    EXPECT_DOUBLE_EQ(shownShare(0, 10), 0.001);
    EXPECT_DOUBLE_EQ(shownShare(2.5, 10), 0.25);
    EXPECT_DOUBLE_EQ(shownShare(12, 10), 1.0);
    EXPECT_DOUBLE_EQ(shownShare(3, 0), 0.0);
}

} // namespace
