#include "card/toolset.h"
#include "card/workingfolder.h"
#include "diskservicesandbox.h"
#include "qtprinters.h"
#include "rootsandbox.h"
#include "samplerecordings.h"
#include "simulatedcard.h"
#include "testfiles.h"

#include <QCoroTask>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace korvane;
using korvane::test::asNobody;
using korvane::test::LoopDevice;
using korvane::test::ProgramRun;
using korvane::test::readFile;
using korvane::test::rootSandboxUnavailable;
using korvane::test::sampleCardImage;
using korvane::test::setUserIdCopy;
using korvane::test::simulatedSysfs;
using korvane::test::standInSysfs;
using korvane::test::writeFile;

TEST(ToolSetup, ToolsAreCopiedFollowingLinksUnlessTheSameFileIsThere)
{
    QTemporaryDir bundled, installed;
    writeFile(bundled.filePath(QStringLiteral("ffmpeg-real")), "the real ffmpeg");
    ASSERT_TRUE(QFile::link(bundled.filePath(QStringLiteral("ffmpeg-real")),
                            bundled.filePath(QStringLiteral("ffmpeg"))));
    ToolSet tools;
    tools.setBundledTools(bundled.path() + QLatin1Char('/'));
    tools.setHelperRoot(installed.path() + QLatin1Char('/'));

    QCoro::waitFor(tools.installTool(QStringLiteral("ffmpeg")));
    const QString copy = installed.filePath(QStringLiteral("ffmpeg"));
    EXPECT_FALSE(QFileInfo(copy).isSymLink());
    EXPECT_EQ(readFile(copy), "the real ffmpeg");
    const QDateTime copiedAt = QFileInfo(copy).lastModified();
    QCoro::waitFor(tools.installTool(QStringLiteral("ffmpeg")));
    EXPECT_EQ(QFileInfo(copy).lastModified(), copiedAt) << "the same file is not copied again";

    // The same size is not the same tool: a stale or planted copy is replaced.
    writeFile(copy, "the user's ffmpeg");
    writeFile(bundled.filePath(QStringLiteral("ffmpeg-real")), "the real ffmpeg!!");
    QCoro::waitFor(tools.installTool(QStringLiteral("ffmpeg")));
    EXPECT_EQ(readFile(copy), "the real ffmpeg!!");

    QCoro::waitFor(tools.installTool(QStringLiteral("salvex")));
    EXPECT_FALSE(QFileInfo::exists(installed.filePath(QStringLiteral("salvex"))))
        << "not bundled, not installed";
}

TEST(ToolSetup, CardImageNeedsNoRightsAndGetsTheBuildsTools)
{
    ToolSet tools;
    tools.setBundledTools(QStringLiteral(TOOLS_FOLDER "/"));
    tools.setUsesCardImage(true);
    EXPECT_TRUE(QCoro::waitFor(tools.initializeTools()));
    EXPECT_TRUE(tools.helperRoot().endsWith(QStringLiteral("/Korvane/")));
    for (const char *tool : {"durnix", "ffmpeg", "salvex"}) {
        const QFileInfo installed(tools.helperRoot() + QLatin1String(tool));
        EXPECT_TRUE(installed.isFile() && installed.isExecutable()) << tool;
        EXPECT_FALSE(installed.isSymLink()) << tool;
    }
}

TEST(Privilege, ASetUserIdDurnixCountsOnlyWhereNobodyButRootCanSwapIt)
{
    QTemporaryDir folder;
    ToolSet tools;
    tools.setBundledTools(folder.path() + QLatin1Char('/'));
    EXPECT_FALSE(tools.checkPrivilege(QStringLiteral("durnix"))) << "missing";
    EXPECT_TRUE(tools.privilegedToolPath().isEmpty());
    if (geteuid() != 0)
        GTEST_SKIP() << "the rest needs root";
    // Root-owned and set-user-ID, but in a folder below /tmp, which everybody may write: whoever
    // can rename its parents can swap it.
    const QString tool = setUserIdCopy(QStringLiteral(TOOLS_FOLDER "/durnix"), folder.path());
    ASSERT_FALSE(tool.isEmpty());
    EXPECT_FALSE(tools.checkPrivilege(QStringLiteral("durnix")));
    EXPECT_TRUE(tools.privilegedToolPath().isEmpty());
}

namespace {

// The command line to run korvane-cli at `cli` as the user nobody in `groups`, its folders in
// `home`, asking the system bus at `systemBus` when one is given.
QStringList cliAsNobody(const QString &cli, const QString &home, const QStringList &arguments,
                        const QList<gid_t> &groups, const QString &systemBus = {})
{
    QStringList environment{QStringLiteral("HOME=") + home,
                            QStringLiteral("XDG_CACHE_HOME=") + home + QStringLiteral("/cache"),
                            QStringLiteral("XDG_DATA_HOME=") + home + QStringLiteral("/data")};
    if (!systemBus.isEmpty())
        environment.append(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS=") + systemBus);
    return asNobody(QStringLiteral("/usr/bin/env"), environment + QStringList{cli} + arguments,
                    groups);
}

// The viewer installed as the Debian package lays it out, with /usr/local standing on a private
// folder seen by nobody else: korvane-cli in bin, its tools in lib/korvane, and a second durnix
// in lib/korvane/privileged, set-user-ID root for the group plugdev.
class InstalledViewer
{
public:
    InstalledViewer()
    {
        ::chmod(QFile::encodeName(m_root.path()).constData(), 0755);
        QDir().mkpath(m_root.filePath(QStringLiteral("bin")));
        QDir().mkpath(m_root.filePath(QStringLiteral("lib/korvane")));
        QFile::copy(QStringLiteral(TOOLS_FOLDER "/korvane-cli"),
                    m_root.filePath(QStringLiteral("bin/korvane-cli")));
        QFile::copy(QStringLiteral(TOOLS_FOLDER "/salvex"),
                    m_root.filePath(QStringLiteral("lib/korvane/salvex")));
        QFile::copy(QStringLiteral(TOOLS_FOLDER "/durnix"),
                    m_root.filePath(QStringLiteral("lib/korvane/durnix")));
        QFile::link(QFileInfo(QStringLiteral(TOOLS_FOLDER "/ffmpeg")).symLinkTarget(),
                    m_root.filePath(QStringLiteral("lib/korvane/ffmpeg")));
        ::chown(QFile::encodeName(m_user.path()).constData(), 65534, 65534);
    }
    QString unavailable() const { return rootSandboxUnavailable(m_root.path()); }
    bool installDurnix(gid_t group)
    {
        QDir().mkpath(m_root.filePath(QStringLiteral("lib/korvane/privileged")));
        return !setUserIdCopy(QStringLiteral(TOOLS_FOLDER "/durnix"),
                              m_root.filePath(QStringLiteral("lib/korvane/privileged")), group,
                              04750)
                    .isEmpty();
    }
    // korvane-cli run by the user nobody in `groups`, with folders of its own, after `prepare`
    // (shell commands) in the private mount namespace.
    ProgramRun cli(const QStringList &arguments, const QList<gid_t> &groups,
                   const QString &prepare = QStringLiteral("true"),
                   const QString &systemBus = {}) const
    {
        return installed(cliAsNobody(QStringLiteral("/usr/local/bin/korvane-cli"), m_user.path(),
                                     arguments, groups, systemBus),
                         prepare);
    }
    // `line` run where the private folder is /usr/local.
    ProgramRun installed(const QStringList &line,
                         const QString &prepare = QStringLiteral("true")) const
    {
        return korvane::test::run(
            QStringLiteral("unshare"),
            QStringList{"--mount", "--propagation", "private", "/bin/sh", "-c",
                        "mount --bind \"$0\" /usr/local && " + prepare + " && exec \"$@\"",
                        m_root.path()} +
                line);
    }

private:
    QTemporaryDir m_root;
    QTemporaryDir m_user;
};

} // namespace

// A member of plugdev reads an SD card with the installed durnix and no prompt; anyone else
// cannot start it, and is offered UDisks2 instead.
TEST(AccessInstalled, PlugdevReadsTheCardWithoutAPromptOthersAreOfferedUDisks2)
{
    InstalledViewer viewer;
    if (const QString why = viewer.unavailable(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const std::optional<gid_t> plugdev = korvane::test::groupId(QStringLiteral("plugdev"));
    if (!plugdev)
        GTEST_SKIP() << "no group plugdev here";
    ASSERT_TRUE(viewer.installDurnix(*plugdev));
    const LoopDevice card(sampleCardImage({"--seconds", "1"}));
    if (card.device().isEmpty())
        GTEST_SKIP() << "no loop devices here";
    QTemporaryDir sys;
    const QString asSdCard =
        standInSysfs(simulatedSysfs(sys.path(), card, {true, "SD", "0", {}, {}}), card);

    const ProgramRun setUp = viewer.cli({"setup"}, {*plugdev});
    EXPECT_EQ(setUp.exitCode, 0) << setUp.err.constData();
    EXPECT_TRUE(setUp.out.contains("read by /usr/local/lib/korvane/privileged/durnix"))
        << setUp.out.constData();
    const ProgramRun listed = viewer.cli({"card", "list", card.device()}, {*plugdev}, asSdCard);
    EXPECT_EQ(listed.exitCode, 0) << listed.err.constData();
    EXPECT_TRUE(listed.out.contains("normal\tN_20241005_143012.mp4\t")) << listed.out.constData();
    EXPECT_TRUE(listed.out.contains("active channels: 2"));

    const korvane::test::DiskServiceSandbox service;
    if (!service.unavailable().isEmpty())
        GTEST_SKIP() << service.unavailable().toStdString();
    const ProgramRun outsider =
        viewer.cli({"setup"}, {}, QStringLiteral("true"), service.systemBusAddress());
    EXPECT_EQ(outsider.exitCode, 0) << outsider.err.constData();
    EXPECT_TRUE(outsider.out.contains("read through UDisks2")) << outsider.out.constData();
    EXPECT_TRUE(outsider.out.contains("may be run only by the group plugdev"))
        << outsider.out.constData();
    const ProgramRun refused =
        viewer.installed(asNobody(QStringLiteral("/usr/local/lib/korvane/privileged/durnix"),
                                  {"ls", card.device(), "104857600", "cfg"}),
                         asSdCard);
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_TRUE(refused.err.contains("Permission denied")) << refused.err.constData();
    EXPECT_FALSE(refused.out.contains("bbox.ini"));
}

TEST(LocalFiles, FailedCopyKeepsTheOldFileAndMovesReplace)
{
    QTemporaryDir folder;
    const QString destination = folder.filePath(QStringLiteral("saved.mp4"));
    writeFile(destination, "the user's earlier download");
    QCoro::waitFor(
        WorkingFolder::copyFile(folder.filePath(QStringLiteral("missing.mp4")), destination));
    EXPECT_EQ(readFile(destination), "the user's earlier download");

    writeFile(folder.filePath(QStringLiteral("new.mp4")), "new recording");
    QCoro::waitFor(
        WorkingFolder::copyFile(folder.filePath(QStringLiteral("new.mp4")), destination));
    EXPECT_EQ(readFile(destination), "new recording");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 2)
        << "no partial copy left behind";

    QCoro::waitFor(WorkingFolder::renameFile(folder.filePath(QStringLiteral("new.mp4")),
                                             folder.filePath(QStringLiteral("moved.mp4"))));
    EXPECT_FALSE(QFileInfo::exists(folder.filePath(QStringLiteral("new.mp4"))));
    EXPECT_EQ(readFile(folder.filePath(QStringLiteral("moved.mp4"))), "new recording");
}

// The Debian package once installed (the CI installs it after the suite, then runs this):
// members of plugdev read a card with no prompt, anyone else cannot start the privileged durnix.
TEST(AccessPackage, PlugdevListsACardWithoutAPromptAndNobodyElseRunsThePrivilegedDurnix)
{
    const QString privileged = QStringLiteral("/usr/lib/korvane/privileged/durnix");
    if (!QFileInfo::exists(privileged))
        GTEST_SKIP() << "the Debian package is not installed";
    QTemporaryDir folder;
    if (const QString why = rootSandboxUnavailable(folder.path()); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const std::optional<gid_t> plugdev = korvane::test::groupId(QStringLiteral("plugdev"));
    ASSERT_TRUE(plugdev);
    struct stat installed
    {
    };
    ASSERT_EQ(::lstat(QFile::encodeName(privileged).constData(), &installed), 0);
    EXPECT_EQ(installed.st_uid, 0u);
    EXPECT_EQ(installed.st_gid, *plugdev);
    EXPECT_EQ(installed.st_mode & 07777, 04750u);

    const LoopDevice card(sampleCardImage({"--seconds", "1"}));
    if (card.device().isEmpty())
        GTEST_SKIP() << "no loop devices here";
    const QString asSdCard =
        standInSysfs(simulatedSysfs(folder.filePath("sys"), card, {true, "SD", "0", {}, {}}), card);
    const QString home = folder.filePath(QStringLiteral("home"));
    QDir().mkpath(home);
    ::chown(QFile::encodeName(home).constData(), 65534, 65534);
    ::chmod(QFile::encodeName(folder.path()).constData(), 0755);
    const auto cli = [&](const QStringList &arguments, const QList<gid_t> &groups) {
        return korvane::test::runWithPrivateMounts(
            asSdCard + QStringLiteral(" && exec \"$@\""),
            cliAsNobody(QStringLiteral("/usr/bin/korvane-cli"), home, arguments, groups));
    };
    const ProgramRun listed = cli({"card", "list", card.device()}, {*plugdev});
    EXPECT_EQ(listed.exitCode, 0) << listed.err.constData();
    EXPECT_TRUE(listed.out.contains("normal\tN_20241005_143012.mp4\t")) << listed.out.constData();

    const ProgramRun outsider = cli({"setup"}, {});
    EXPECT_TRUE((outsider.out + outsider.err).contains("may be run only by the group plugdev"))
        << outsider.out.constData() << outsider.err.constData();
    const ProgramRun refused = korvane::test::runWithPrivateMounts(
        asSdCard + QStringLiteral(" && exec \"$@\""),
        asNobody(privileged, {"ls", card.device(), "104857600", "cfg"}));
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_TRUE(refused.err.contains("Permission denied")) << refused.err.constData();
}
