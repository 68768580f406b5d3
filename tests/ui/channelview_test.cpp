#include "playbacktestsupport.h"
#include "samplerecordings.h"
#include "scenetestsupport.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QtQml/QQmlExtensionPlugin>

#include <gtest/gtest.h>

Q_IMPORT_QML_PLUGIN(Korvane_VideoPlugin)

namespace korvane::test {
namespace {

// Two channel views side by side, as the window lays them out.
constexpr const char *scene = R"(
import QtQuick
import Korvane.Video
Window {
    width: 640; height: 240; visible: true; color: "black"
    property QtObject first
    property QtObject second
    Row {
        ChannelView { width: 320; height: 240; channel: first }
        ChannelView { width: 320; height: 240; channel: second }
    }
}
)";

using ChannelViewOnScreen = PlayerTest;

TEST_F(ChannelViewOnScreen, EachViewShowsItsChannelsPictureOfTheClock)
{
    const QString path = sampleRecording({"--channels", "2", "--seconds", "3", "--ch1",
                                          "320x240@30", "--ch2", "160x120@30", "--no-sound"});
    load(path);
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/")); // where the static QML modules keep their files
    QQmlComponent component(&engine);
    component.setData(scene, QUrl());
    ASSERT_TRUE(component.isReady()) << component.errorString().toStdString();
    std::unique_ptr<QObject> root(component.createWithInitialProperties(
        {{"first", QVariant::fromValue<QObject *>(player->videoPlayers()[0])},
         {"second", QVariant::fromValue<QObject *>(player->videoPlayers()[1])}}));
    ASSERT_TRUE(root);
    auto *window = qobject_cast<QQuickWindow *>(root.get());
    ASSERT_TRUE(window);

    const QByteArray expected = qgetenv("KORVANE_EXPECTED_RENDERER");
    const bool software =
        window->rendererInterface()->graphicsApi() == QSGRendererInterface::Software;
    if (!expected.isEmpty()) {
        EXPECT_EQ(expected == "software", software) << "renderer " << expected.constData();
    }

    for (double t : {1.5, 0.5}) {
        SCOPED_TRACE(t);
        player->seek(t / player->duration());
        ASSERT_TRUE(waitUntil([&] {
            return player->videoPlayers()[0]->currentFrameTime() == t &&
                   player->videoPlayers()[1]->currentFrameTime() == t;
        }));
        // The views take the pictures on their next frame.
        ASSERT_TRUE(waitForSettledScene({window})) << "no frame of the pictures was shown";
        const QImage shot = window->grabWindow().convertToFormat(QImage::Format_RGB888);
        ASSERT_EQ(shot.size(), QSize(640, 240));
        const int frame = static_cast<int>(t * 30);
        const int other = frame + 30;
        // The first view holds its channel at its own size, the second its channel doubled.
        const QImage left = shot.copy(0, 0, 320, 240);
        const QImage right = shot.copy(320, 0, 320, 240);
        const auto firstAt = [&](int index) {
            return referencePicture(path, 0, index, {320, 240});
        };
        const auto secondAt = [&](int index) {
            return referencePicture(path, 1, index, {160, 120})
                .scaled(320, 240, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        };
        EXPECT_LT(meanDifference(left, firstAt(frame)), 10.0);
        EXPECT_GT(meanDifference(left, firstAt(other)), meanDifference(left, firstAt(frame)) + 5);
        EXPECT_LT(meanDifference(right, secondAt(frame)), 14.0);
        EXPECT_GT(meanDifference(right, secondAt(other)),
                  meanDifference(right, secondAt(frame)) + 5);
    }
}

} // namespace
} // namespace korvane::test

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
