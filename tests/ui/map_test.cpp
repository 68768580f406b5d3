// The map page in the player screen: its bridge holds everything back until the page is ready,
// the marker follows the played time and the recording's route is drawn.
#include "windowtestsupport.h"

#include "ui/map/mapcoordinator.h"
#include "playbacktestsupport.h"

#include <QJSEngine>
#include <QSignalSpy>
#include <QtQml/qqml.h>
#include <cmath>
#include <memory>

namespace korvane::test {
namespace {

TEST(MapBridge, NothingReachesThePageBeforeItIsReadyNorForNoFix)
{
    MapCoordinator bridge;
    QSignalSpy scripts(&bridge, &MapCoordinator::evaluate);
    bridge.moveMap(37.5665, 126.978);
    bridge.showRoute({QVariantList{37.5, 127.0}});
    bridge.receive(QStringLiteral("mapReadyNow"));
    bridge.moveMap(37.5665, 126.978);
    EXPECT_EQ(scripts.size(), 0);
    EXPECT_FALSE(bridge.isMapReady());

    bridge.receive(QStringLiteral("mapReady"), QStringLiteral("any body"));
    EXPECT_TRUE(bridge.isMapReady());
    bridge.moveMap(0, 0);
    EXPECT_EQ(scripts.size(), 0) << "(0, 0) is no fix";
    bridge.moveMap(37.5665, 126.978);
    bridge.moveMap(0, 126.978);
    // Whatever the list holds, the page gets numbers.
    bridge.showRoute({QVariantList{37.5, 127.0}, QVariantList{QStringLiteral("1);alert(1"), 2},
                      QVariantList{1}});
    bridge.showRoute({});
    ASSERT_EQ(scripts.size(), 4);
    EXPECT_EQ(scripts[0][0].toString(), u"moveMap(37.566500, 126.978000);");
    EXPECT_EQ(scripts[1][0].toString(), u"moveMap(0.000000, 126.978000);");
    EXPECT_EQ(scripts[2][0].toString(), u"showRoute([[37.5,127],[0,2]]);");
    EXPECT_EQ(scripts[3][0].toString(), u"showRoute([]);");
}

class MapView : public WindowTest
{
protected:
    // The page's answer to a script, through the web view's own runJavaScript.
    QVariant pageValue(QQuickItem *map, const QString &script)
    {
        auto *view = map->property("view").value<QObject *>();
        QJSEngine *engine = qjsEngine(view);
        QJSValue answer = engine->newObject();
        const QJSValue take = engine->evaluate(QStringLiteral(
            "(function(answer) { return function(value) { answer.value = value; "
            "answer.done = true } })"));
        const QJSValue callback = take.call({answer});
        QMetaObject::invokeMethod(view, "runJavaScript", Q_ARG(QString, script),
                                  Q_ARG(QJSValue, callback));
        EXPECT_TRUE(waitUntil([&] { return answer.property("done").toBool(); }));
        return answer.property("value").toVariant();
    }
    QPointF marker(QQuickItem *map)
    {
        const QVariantList at = pageValue(map, QStringLiteral("markerPosition()")).toList();
        return at.size() == 2 ? QPointF(at[0].toDouble(), at[1].toDouble()) : QPointF();
    }
    QQuickItem *readyMap(const QString &name)
    {
        QQuickItem *map = item(name);
        if (!map)
            return nullptr;
        auto *bridge = map->property("coordinator").value<MapCoordinator *>();
        EXPECT_TRUE(waitUntil([&] { return bridge->isMapReady(); }, 60000)) << "no mapReady";
        // The route comes with the recording's records, read in the background, and goes to the
        // page as soon as both are there. The page runs scripts in the order they were sent:
        // whatever went before answers a script the test sends afterwards.
        EXPECT_TRUE(recordsArrived()) << "the recording's records never arrived";
        settle();
        return map;
    }
    bool recordsArrived()
    {
        const auto arrived = std::make_shared<bool>(false);
        model().opener()->metadataLoaded().then([arrived] { *arrived = true; });
        return waitUntil([&] { return *arrived; }, 60000);
    }
    QPointF modelPosition() const
    {
        return {model().mapPosition()->latitude(), model().mapPosition()->longitude()};
    }
};

TEST_F(MapView, TheMarkerFollowsPlaybackAndTheRouteHoldsTheFixes)
{
    open(sample::twoChannels);
    click(QStringLiteral("layoutTabs/tab:지도"));
    QQuickItem *map = readyMap(QStringLiteral("mapPlace"));
    ASSERT_TRUE(map);

    const QVariantList route = pageValue(map, QStringLiteral("routePoints()")).toList();
    ASSERT_EQ(route, model().mapPosition()->route());
    // Without the network the plain ground says why it is plain.
    QString ground;
    EXPECT_TRUE(waitUntil(
        [&] {
            return !(ground = pageValue(map, QStringLiteral("groundState()")).toString()).isEmpty();
        },
        30000));
    if (ground != u"tiles") {
        EXPECT_EQ(ground,
                  u"지도 그림은 인터넷에 연결되어 있을 때 보입니다. 경로와 차의 위치는 그대로 "
                  u"표시됩니다.");
    }
    EXPECT_GE(route.size(), 10) << "one fix a second";

    // The page moves the marker when it hears of the model's position, in its own time: it is
    // compared while the player stands.
    const auto onModelPosition = [&] {
        const QPointF at = marker(map);
        return std::abs(at.x() - modelPosition().x()) < 1e-6 &&
               std::abs(at.y() - modelPosition().y()) < 1e-6;
    };
    const auto where = [&] {
        const QPointF at = marker(map);
        return QString::asprintf("marker %.7f, %.7f; car %.7f, %.7f; time %.2f", at.x(), at.y(),
                                 modelPosition().x(), modelPosition().y(), player().currentTime())
            .toStdString();
    };
    ASSERT_TRUE(waitUntil([&] { return player().currentTime() > 3; }, 20000));
    player().pause();
    EXPECT_TRUE(waitUntil(onModelPosition, 20000)) << where();
    const QPointF first = marker(map);
    // On past 6 s and to another fix, however far the player ran before it stood.
    const QPointF firstCar = modelPosition();
    player().play();
    ASSERT_TRUE(waitUntil(
        [&] { return player().currentTime() > 6 && modelPosition() != firstCar; }, 20000));
    player().pause();
    EXPECT_TRUE(waitUntil([&] { return marker(map) != first && onModelPosition(); }, 20000))
        << "the car moved on: " << where();
    const QPointF later = marker(map);

    // Back to 0: the map stays where it was.
    player().seek(0);
    ASSERT_TRUE(waitUntil([&] { return player().currentTime() == 0; }));
    // A move the seek sent the page comes before the script that asks where the marker is.
    settle();
    const QPointF kept = marker(map);
    EXPECT_NEAR(kept.x(), later.x(), 1e-6);
    EXPECT_NEAR(kept.y(), later.y(), 1e-6);
    const QVariantList start = route.first().toList();
    EXPECT_GT(std::hypot(kept.x() - start[0].toDouble(), kept.y() - start[1].toDouble()), 1e-4)
        << "not back at the start";

    // The side panel's map is a page of its own, ready on its own.
    click(QStringLiteral("sideTabs/tab:지도"));
    QQuickItem *side = readyMap(QStringLiteral("sideMapPlace"));
    ASSERT_TRUE(side);
    EXPECT_EQ(pageValue(side, QStringLiteral("routePoints().length")).toInt(), route.size());
    EXPECT_NEAR(marker(side).x(), modelPosition().x(), 1e-6);
}

} // namespace
} // namespace korvane::test
