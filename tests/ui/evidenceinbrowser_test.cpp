// An evidence clip with every camera in one picture, as the one who receives it plays it: in a
// web browser's <video>, through Chromium's own media stack (Qt WebEngine).
#include "playbacktestsupport.h"
#include "segmentedtrip.h"
#include "testfiles.h"

#include <QJSEngine>
#include <QProcessEnvironment>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace {

using korvane::test::ProgramRun;
using korvane::test::run;
using korvane::test::waitUntil;

// The page's answer to a script, through the web view's runJavaScript.
QVariant pageValue(QObject *view, const QString &script)
{
    QJSEngine *engine = qjsEngine(view);
    QJSValue answer = engine->newObject();
    const QJSValue take = engine->evaluate(
        QStringLiteral("(function(answer) { return function(value) { answer.value = value; "
                       "answer.done = true } })"));
    QMetaObject::invokeMethod(view, "runJavaScript", Q_ARG(QString, script),
                              Q_ARG(QJSValue, take.call({answer})));
    EXPECT_TRUE(waitUntil([&] { return answer.property("done").toBool(); }));
    return answer.property("value").toVariant();
}

TEST(EvidenceInBrowser, AGridClipLoadsInAVideoElementWithItsLength)
{
    QTemporaryDir work;
    const QString recording = work.filePath(QStringLiteral("N_20241005_143000.mp4"));
    korvane::test::writeTwoSizeRecording(recording, korvane::test::RecordedSound::dashcamSound);
    ASSERT_FALSE(testing::Test::HasFailure());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), work.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), work.filePath(QStringLiteral("data")));
    const QString clip = work.filePath(QStringLiteral("grid.mp4"));
    const ProgramRun cut = run(
        QStringLiteral(KORVANE_CLI_PATH),
        {"clip", recording, "--from", "1", "--to", "4.5", "--layout", "grid", "--caption", clip},
        environment);
    ASSERT_EQ(cut.exitCode, 0) << cut.err.toStdString();
    korvane::test::writeFile(work.filePath(QStringLiteral("page.html")),
                             "<!DOCTYPE html><html><body><video id=\"clip\" src=\"grid.mp4\" "
                             "preload=\"auto\" muted></video></body></html>");

    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData("import QtQuick\nimport QtQuick.Window\nimport QtWebEngine\n"
                      "Window { visible: true; width: 640; height: 400\n"
                      "  property alias view: view\n"
                      "  WebEngineView { id: view; anchors.fill: parent } }\n",
                      QUrl());
    const std::unique_ptr<QObject> window(component.create());
    ASSERT_TRUE(window) << component.errorString().toStdString();
    auto *view = window->property("view").value<QObject *>();
    view->setProperty("url", QUrl::fromLocalFile(work.filePath(QStringLiteral("page.html"))));
    ASSERT_TRUE(waitUntil([&] { return !view->property("loading").toBool(); }, 60000));

    // HAVE_CURRENT_DATA (2) or more: the browser decoded a picture of it; and it knows how long
    // it is. No media error on the way.
    const auto state = [&] {
        return pageValue(view, QStringLiteral(
                                   "(function() { const v = document.getElementById('clip'); "
                                   "return [v.readyState, v.duration, v.error ? v.error.code : 0, "
                                   "v.videoWidth, v.videoHeight]; })()"))
            .toList();
    };
    QVariantList shown;
    EXPECT_TRUE(waitUntil(
        [&] {
            shown = state();
            return shown.size() == 5 && (shown[0].toInt() >= 2 || shown[2].toInt() != 0);
        },
        60000));
    ASSERT_EQ(shown.size(), 5);
    EXPECT_GE(shown[0].toInt(), 2);
    EXPECT_EQ(shown[2].toInt(), 0) << "media error";
    EXPECT_NEAR(shown[1].toDouble(), 3.5, 0.1);
    EXPECT_EQ(shown[3].toInt(), 1920);
    EXPECT_EQ(shown[4].toInt(), 578);
}

} // namespace
