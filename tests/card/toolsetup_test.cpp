#include "processmanager.h"
#include "qtprinters.h"
#include "samplerecordings.h"
#include "testfiles.h"

#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace korvane;
using korvane::test::readFile;
using korvane::test::writeFile;

TEST(ToolSetup, ToolsAreCopiedFollowingLinksAndOnlyWhenTheirSizeDiffers)
{
    QTemporaryDir bundled, installed;
    writeFile(bundled.filePath(QStringLiteral("ffmpeg-real")), "the real ffmpeg");
    ASSERT_TRUE(QFile::link(bundled.filePath(QStringLiteral("ffmpeg-real")),
                            bundled.filePath(QStringLiteral("ffmpeg"))));
    ProcessManager manager;
    manager.setBundledTools(bundled.path() + QLatin1Char('/'));
    manager.setHelperRoot(installed.path() + QLatin1Char('/'));

    QCoro::waitFor(manager.installTool(QStringLiteral("ffmpeg")));
    const QString copy = installed.filePath(QStringLiteral("ffmpeg"));
    EXPECT_FALSE(QFileInfo(copy).isSymLink());
    EXPECT_EQ(readFile(copy), "the real ffmpeg");

    // Same size: left alone, even with other bytes.
    writeFile(copy, "the user's ffmpeg");
    writeFile(bundled.filePath(QStringLiteral("ffmpeg-real")), "the real ffmpeg!!");
    QCoro::waitFor(manager.installTool(QStringLiteral("ffmpeg")));
    EXPECT_EQ(readFile(copy), "the user's ffmpeg");
    writeFile(bundled.filePath(QStringLiteral("ffmpeg-real")), "a newer, longer ffmpeg");
    QCoro::waitFor(manager.installTool(QStringLiteral("ffmpeg")));
    EXPECT_EQ(readFile(copy), "a newer, longer ffmpeg");

    QCoro::waitFor(manager.installTool(QStringLiteral("salvex")));
    EXPECT_FALSE(QFileInfo::exists(installed.filePath(QStringLiteral("salvex"))))
        << "not bundled, not installed";
}

TEST(ToolSetup, CardImageNeedsNoRightsAndGetsTheBuildsTools)
{
    ProcessManager manager;
    manager.setBundledTools(QStringLiteral(TOOLS_FOLDER "/"));
    manager.setUsesCardImage(true);
    EXPECT_TRUE(QCoro::waitFor(manager.initializeTools()));
    EXPECT_TRUE(manager.helperRoot().endsWith(QStringLiteral("/Korvane/")));
    for (const char *tool : {"durnix", "ffmpeg", "salvex"}) {
        const QFileInfo installed(manager.helperRoot() + QLatin1String(tool));
        EXPECT_TRUE(installed.isFile() && installed.isExecutable()) << tool;
        EXPECT_FALSE(installed.isSymLink()) << tool;
    }
}

TEST(Privilege, OnlyARootOwnedSetUserIdDurnixPasses)
{
    QTemporaryDir folder;
    ProcessManager manager;
    manager.setHelperRoot(folder.path() + QLatin1Char('/'));
    EXPECT_FALSE(manager.checkPrivilege(QStringLiteral("durnix"))) << "missing";
    const QString tool = folder.filePath(QStringLiteral("durnix"));
    writeFile(tool, "#!/bin/sh\n");
    ::chmod(QFile::encodeName(tool).constData(), 0755);
    if (geteuid() != 0) {
        EXPECT_FALSE(manager.checkPrivilege(QStringLiteral("durnix"))) << "owned by the user";
        GTEST_SKIP() << "the rest needs root";
    }
    EXPECT_FALSE(manager.checkPrivilege(QStringLiteral("durnix")))
        << "root-owned but not set-user-ID";
    ASSERT_EQ(::chown(QFile::encodeName(tool).constData(), 65534, 65534), 0);
    ::chmod(QFile::encodeName(tool).constData(), 04755);
    EXPECT_FALSE(manager.checkPrivilege(QStringLiteral("durnix")))
        << "set-user-ID but another user's";
}

TEST(Privilege, AuthorisationMakesDurnixRootOwnedAndSetUserId)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root: a user would see the administrator prompt";
    QTemporaryDir folder;
    const QString root = folder.filePath(QStringLiteral("it's a tools folder")) + QLatin1Char('/');
    QDir().mkpath(root);
    writeFile(root + QStringLiteral("durnix"), "#!/bin/sh\n");
    ASSERT_EQ(::chown(QFile::encodeName(root + QStringLiteral("durnix")).constData(), 65534, 65534),
              0);
    ProcessManager manager;
    manager.setHelperRoot(root);
    EXPECT_FALSE(manager.checkPrivilege(QStringLiteral("durnix")));
    EXPECT_TRUE(QCoro::waitFor(manager.authorizeExt4Tool(QStringLiteral("durnix"))));
    EXPECT_TRUE(manager.checkPrivilege(QStringLiteral("durnix")));
    manager.setHelperRoot(folder.filePath(QStringLiteral("missing/")));
    EXPECT_FALSE(QCoro::waitFor(manager.authorizeExt4Tool(QStringLiteral("durnix"))));
}

TEST(LocalFiles, FailedCopyKeepsTheOldFileAndMovesReplace)
{
    QTemporaryDir folder;
    const QString destination = folder.filePath(QStringLiteral("saved.mp4"));
    writeFile(destination, "the user's earlier download");
    QCoro::waitFor(
        ProcessManager::copyFile(folder.filePath(QStringLiteral("missing.mp4")), destination));
    EXPECT_EQ(readFile(destination), "the user's earlier download");

    writeFile(folder.filePath(QStringLiteral("new.mp4")), "new recording");
    QCoro::waitFor(
        ProcessManager::copyFile(folder.filePath(QStringLiteral("new.mp4")), destination));
    EXPECT_EQ(readFile(destination), "new recording");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 2)
        << "no partial copy left behind";

    QCoro::waitFor(ProcessManager::renameFile(folder.filePath(QStringLiteral("new.mp4")),
                                              folder.filePath(QStringLiteral("moved.mp4"))));
    EXPECT_FALSE(QFileInfo::exists(folder.filePath(QStringLiteral("new.mp4"))));
    EXPECT_EQ(readFile(folder.filePath(QStringLiteral("moved.mp4"))), "new recording");
}
