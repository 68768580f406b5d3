// The release check: reading the release page, comparing releases, and asking the page over HTTP
// from a server of the test's own.
#include "base/identity.h"
#include "httppage.h"
#include "model/appviewmodel.h"
#include "model/versionmanager.h"
#include "qtprinters.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace korvane {
namespace {

QByteArray page(const QString &cell)
{
    return QStringLiteral("<html><body><table><tr><td>릴리스</td>%1</tr>"
                          "<tr><td>1.0.0 (Build 1)</td></tr></table></body></html>")
        .arg(cell)
        .toUtf8();
}

TEST(Release, TheFirstReleaseOfThePageCounts)
{
    const std::optional<Release> latest = readReleasePage(page("<td>1.2.10 (Build 45)</td>"));
    ASSERT_TRUE(latest);
    EXPECT_EQ(latest->version, "1.2.10");
    EXPECT_EQ(latest->build, "45");
    EXPECT_FALSE(readReleasePage(page("<td>1.2.10(Build 45)</td>").replace("1.0.0 (Build", "x")))
        << "a version not followed by \" (Build\"";
    EXPECT_FALSE(readReleasePage(QByteArray("<td>1.2.3 (Build 4)</td>\xff\xfe", 26)))
        << "not UTF-8";
    EXPECT_FALSE(readReleasePage("<td>1.2 (Build 4)</td>"));
}

TEST(Release, NewerByVersionNumbersThenByBuild)
{
    struct Case
    {
        Release latest;
        const char *version;
        const char *build;
        bool newer;
    };
    for (const Case &c : {
             Case{{"1.2.10", "1"}, "1.2.9", "99", true},
             Case{{"1.10.0", "1"}, "1.9.0", "1", true},
             Case{{"1.2.3", "45"}, "1.2.3", "44", true},
             Case{{"1.2.3", "45"}, "1.2.3", "45", false},
             Case{{"1.2.3", "45"}, "1.2.3", "46", false},
             Case{{"1.2.3", "100"}, "1.2.3", "99", true},
             Case{{"1.2.3", "99"}, "1.3.0", "1", false},
         })
        EXPECT_EQ(isNewerRelease(c.latest, c.version, c.build), c.newer)
            << c.latest.version.toStdString() << " (" << c.latest.build.toStdString() << ") vs "
            << c.version << " (" << c.build << ")";
}

TEST(Release, ANewerReleaseAsksTheUserWhileTheModelAlerts)
{
    AppViewModel model(PlaybackOutput{true, "fakesink"});
    test::HttpPage server(page(
        QStringLiteral("<td>%1 (Build %2)</td>").arg(appVersion()).arg(appBuild().toInt() + 1)));
    VersionManager versions;
    versions.setPageAddress(server.address(QStringLiteral("/tavren/index.html")));
    versions.checkForUpdate(model.notifications());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !versions.updateMessage().isEmpty(); }, 10000));
    EXPECT_EQ(versions.updateMessage(),
              QStringLiteral("최신 버전: %1 (%2)\n\n현재 버전: %1 (%3)\n\n다운로드 페이지로 "
                             "이동하시겠습니까?")
                  .arg(appVersion())
                  .arg(appBuild().toInt() + 1)
                  .arg(appBuild()));
    EXPECT_TRUE(model.notifications()->isAlerting());
    versions.answered();
    EXPECT_TRUE(versions.updateMessage().isEmpty());
    EXPECT_FALSE(model.notifications()->isAlerting());
}

TEST(Release, TheSameReleaseOrNoAddressAsksNothing)
{
    AppViewModel model(PlaybackOutput{true, "fakesink"});
    test::HttpPage server(
        page(QStringLiteral("<td>%1 (Build %2)</td>").arg(appVersion(), appBuild())));
    VersionManager versions;
    versions.setPageAddress(server.address(QStringLiteral("/tavren/index.html")));
    QSignalSpy ended(&versions, &VersionManager::checkEnded);
    versions.checkForUpdate(model.notifications());
    ASSERT_TRUE(ended.wait(10000));
    EXPECT_EQ(server.requests(), 1);
    EXPECT_TRUE(versions.updateMessage().isEmpty());
    EXPECT_FALSE(model.notifications()->isAlerting());

    // Built without a release page: the network is never asked.
    VersionManager unset;
    QSignalSpy unsetEnded(&unset, &VersionManager::checkEnded);
    unset.setPageAddress(QUrl());
    unset.checkForUpdate(model.notifications());
    EXPECT_EQ(unsetEnded.count(), 0) << "no check was started";
    EXPECT_EQ(server.requests(), 1);
    EXPECT_TRUE(VersionManager().pageAddress().isEmpty()) << "this build has no release page";
}

TEST(TrustRelease, AnAnswerLongerThanAPageIsNoReleaseAndIsNotKept)
{
    AppViewModel model(PlaybackOutput{true, "fakesink"});
    const QByteArray newer = page(
        QStringLiteral("<td>%1 (Build %2)</td>").arg(appVersion()).arg(appBuild().toInt() + 1));
    constexpr qsizetype mebibyte = 1 << 20;
    for (const qsizetype size : {mebibyte, mebibyte + 1, 64 * mebibyte}) {
        test::HttpPage server(newer + QByteArray(size - newer.size(), ' '));
        VersionManager versions;
        QSignalSpy ended(&versions, &VersionManager::checkEnded);
        versions.setPageAddress(server.address(QStringLiteral("/tavren/index.html")));
        versions.checkForUpdate(model.notifications());
        ASSERT_TRUE(ended.wait(30000)) << size;
        EXPECT_EQ(versions.updateMessage().isEmpty(), size > mebibyte) << size;
        versions.answered();
    }
}

} // namespace
} // namespace korvane
