#include "base/applog.h"

#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

using namespace korvane;

namespace {
// What the code under test writes to standard output while `write` runs.
template <typename Write> QByteArray capturedStandardOutput(Write write)
{
    QTemporaryFile capture;
    EXPECT_TRUE(capture.open());
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    dup2(capture.handle(), STDOUT_FILENO);
    write();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    capture.seek(0);
    return capture.readAll();
}
} // namespace

TEST(AppLog, ItemsJoinedByBlanksBehindThePrefix)
{
    const QByteArray out = capturedStandardOutput([] {
        appLog(logModel, "[AppViewModel] loadMp4 failure:", QStringLiteral("파일 없음"), 3, 0.5,
               true);
        appLog(logCard, "[SDManager] startMonitoring");
    });
    EXPECT_EQ(out, QByteArray("App -> [AppViewModel] loadMp4 failure: 파일 없음 3 0.5 true\n"
                              "App -> [SDManager] startMonitoring\n"));
}

TEST(AppLog, EachCategoryCanBeSilencedOnItsOwn)
{
    QLoggingCategory::setFilterRules(QStringLiteral("korvane.card.info=false"));
    const QByteArray out = capturedStandardOutput([] {
        appLog(logCard, "[SDManager] startMonitoring");
        appLog(logModel, "[AppViewModel] loading completed");
        appLog(logWindow, "[ContentView] SD Card Attached");
    });
    QLoggingCategory::setFilterRules(QString());
    EXPECT_EQ(out, QByteArray("App -> [AppViewModel] loading completed\n"
                              "App -> [ContentView] SD Card Attached\n"));
}
