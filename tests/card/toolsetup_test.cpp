#include "processmanager.h"
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
    ProcessManager manager;
    manager.setBundledTools(bundled.path() + QLatin1Char('/'));
    manager.setHelperRoot(installed.path() + QLatin1Char('/'));

    QCoro::waitFor(manager.installTool(QStringLiteral("ffmpeg")));
    const QString copy = installed.filePath(QStringLiteral("ffmpeg"));
    EXPECT_FALSE(QFileInfo(copy).isSymLink());
    EXPECT_EQ(readFile(copy), "the real ffmpeg");
    const QDateTime copiedAt = QFileInfo(copy).lastModified();
    QCoro::waitFor(manager.installTool(QStringLiteral("ffmpeg")));
    EXPECT_EQ(QFileInfo(copy).lastModified(), copiedAt) << "the same file is not copied again";

    // The same size is not the same tool: a stale or planted copy is replaced.
    writeFile(copy, "the user's ffmpeg");
    writeFile(bundled.filePath(QStringLiteral("ffmpeg-real")), "the real ffmpeg!!");
    QCoro::waitFor(manager.installTool(QStringLiteral("ffmpeg")));
    EXPECT_EQ(readFile(copy), "the real ffmpeg!!");

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

TEST(Privilege, ASetUserIdDurnixCountsOnlyWhereNobodyButRootCanSwapIt)
{
    QTemporaryDir folder;
    ProcessManager manager;
    manager.setBundledTools(folder.filePath(QStringLiteral("bundled/")));
    manager.setPrivilegedFolder(folder.path() + QLatin1Char('/'));
    EXPECT_FALSE(manager.checkPrivilege(QStringLiteral("durnix"))) << "missing";
    EXPECT_TRUE(manager.privilegedToolPath().isEmpty());
    if (geteuid() != 0)
        GTEST_SKIP() << "the rest needs root";
    // Root-owned and set-user-ID, but in a folder below /tmp, which everybody may write: whoever
    // can rename its parents can swap it.
    const QString tool = setUserIdCopy(QStringLiteral(TOOLS_FOLDER "/durnix"), folder.path());
    ASSERT_FALSE(tool.isEmpty());
    EXPECT_FALSE(manager.checkPrivilege(QStringLiteral("durnix")));
    EXPECT_TRUE(manager.privilegedToolPath().isEmpty());
}

namespace {

// The build's tool set-up run as root with /usr/local standing on a private folder: the system
// folder durnix-install writes to is then `root`/libexec/korvane, seen by nobody else.
class PrivilegedSetup
{
public:
    PrivilegedSetup()
    {
        ::chmod(QFile::encodeName(m_root.path()).constData(), 0755);
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(QStringLiteral("XDG_DATA_HOME"),
                             m_user.filePath(QStringLiteral("data")));
        m_environment.insert(QStringLiteral("XDG_CACHE_HOME"),
                             m_user.filePath(QStringLiteral("cache")));
    }
    QString unavailable() const { return rootSandboxUnavailable(m_root.path()); }
    ProgramRun run(const QString &program, const QStringList &arguments) const
    {
        return korvane::test::run(QStringLiteral("unshare"),
                                  QStringList{"--mount", "--propagation", "private", "/bin/sh",
                                              "-c", "mount --bind \"$0\" /usr/local && exec \"$@\"",
                                              m_root.path(), program} +
                                      arguments,
                                  m_environment);
    }
    ProgramRun setUp() const
    {
        return run(QStringLiteral(TOOLS_FOLDER "/korvane-cli"), {"--verbose", "setup"});
    }
    QString installed() const { return m_root.filePath(QStringLiteral("libexec/korvane/durnix")); }
    // The private folder that stands for /usr/local.
    QString prefix() const { return m_root.path(); }
    QString toolsFolder() const { return m_user.filePath(QStringLiteral("data/Korvane/")); }

private:
    QTemporaryDir m_root;
    QTemporaryDir m_user;
    QProcessEnvironment m_environment;
};

struct stat statOf(const QString &path)
{
    struct stat st
    {
    };
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

} // namespace

TEST(Privilege, SetupInstallsThisBuildsDurnixAsRootAndNeverChangesTheUsersFiles)
{
    const PrivilegedSetup setup;
    if (const QString why = setup.unavailable(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QByteArray build = readFile(QStringLiteral(TOOLS_FOLDER "/durnix"));

    // A file of exactly durnix's size waits in the user's tools folder: it must never become a
    // root program, whatever happens to it.
    QDir().mkpath(setup.toolsFolder());
    writeFile(setup.toolsFolder() + QStringLiteral("durnix"), QByteArray(build.size(), 'x'));
    ProgramRun r = setup.setUp();
    EXPECT_EQ(r.exitCode, 0) << r.out.constData() << r.err.constData();
    EXPECT_TRUE(r.out.contains("durnix can read SD cards: /usr/local/libexec/korvane/durnix"));
    EXPECT_EQ(readFile(setup.installed()), build);
    struct stat st = statOf(setup.installed());
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_mode & 07777, 04755u);
    for (const char *tool : {"durnix", "ffmpeg", "salvex"}) {
        const struct stat user = statOf(setup.toolsFolder() + QLatin1String(tool));
        EXPECT_EQ(user.st_mode & (S_ISUID | S_ISGID), 0u) << tool;
    }

    // Once in place, no second prompt.
    const ino_t first = st.st_ino;
    r = setup.setUp();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_FALSE(r.err.contains("authorized successfully")) << r.err.constData();
    EXPECT_EQ(statOf(setup.installed()).st_ino, first);

    // Another build's durnix of the same size is replaced by this one.
    QFile stale(setup.installed());
    ASSERT_TRUE(stale.open(QIODevice::ReadWrite));
    stale.seek(build.size() / 2);
    stale.write("another build");
    stale.close();
    ::chmod(QFile::encodeName(setup.installed()).constData(), 04755);
    r = setup.setUp();
    EXPECT_EQ(r.exitCode, 0) << r.out.constData();
    EXPECT_TRUE(r.err.contains("is another build's durnix")) << r.err.constData();
    EXPECT_EQ(readFile(setup.installed()), build);

    // A system folder someone else may write is no place for it: refused, with the reason.
    const QString libexec = QFileInfo(setup.installed()).path();
    ::chmod(QFile::encodeName(libexec).constData(), 0775);
    r = setup.setUp();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("is not owned by root alone")) << r.err.constData();
    EXPECT_TRUE(QString::fromUtf8(r.err).contains(QStringLiteral("SD 카드를 읽을 권한")))
        << r.err.constData();
}

TEST(Privilege, AnyUserListsAnSdCardThroughTheInstalledDurnix)
{
    const PrivilegedSetup setup;
    if (const QString why = setup.unavailable(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QString cli = QStringLiteral(TOOLS_FOLDER "/korvane-cli");
    const LoopDevice card(sampleCardImage({"--seconds", "1"}));
    if (card.device().isEmpty())
        GTEST_SKIP() << "no loop devices here";
    ASSERT_EQ(setup.setUp().exitCode, 0);

    // The user nobody, with folders of its own, and the loop device as an SD card in a slot.
    QTemporaryDir user, sys;
    ASSERT_EQ(::chown(QFile::encodeName(user.path()).constData(), 65534, 65534), 0);
    const QString disk = simulatedSysfs(sys.path(), card, {true, "SD", "0", {}, {}});
    const QStringList asUser =
        asNobody(QStringLiteral("/usr/bin/env"),
                 {QStringLiteral("HOME=") + user.path(),
                  QStringLiteral("XDG_CACHE_HOME=") + user.filePath(QStringLiteral("cache")),
                  QStringLiteral("XDG_DATA_HOME=") + user.filePath(QStringLiteral("data")), cli,
                  "card", "list", card.device()});
    const auto listAsUser = [&] {
        return setup.run(QStringLiteral("/bin/sh"),
                         QStringList{"-c", standInSysfs(disk, card) + " && exec \"$@\"", "sh"} +
                             asUser);
    };
    const ProgramRun listed = listAsUser();
    if (listed.err.contains("Permission denied"))
        GTEST_SKIP() << "the build tree is closed to other users";
    EXPECT_EQ(listed.exitCode, 0) << listed.out.constData() << listed.err.constData();
    EXPECT_TRUE(listed.out.contains("normal\tN_20241005_143012.mp4\t")) << listed.out.constData();
    EXPECT_TRUE(listed.out.contains("active channels: 2"));

    // Without the privileged durnix the same user is told what to do.
    ::unlink(QFile::encodeName(setup.installed()).constData());
    const ProgramRun refused = listAsUser();
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains("korvane-cli setup")) << refused.err.constData();
}

TEST(Privilege, AnInstalledViewerRunsItsOwnRootDurnixWithoutAPrompt)
{
    const PrivilegedSetup setup;
    if (const QString why = setup.unavailable(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    // What `cmake --install` as root lays out under the prefix.
    QDir().mkpath(setup.prefix() + QStringLiteral("/bin"));
    QDir().mkpath(setup.prefix() + QStringLiteral("/lib/korvane"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(TOOLS_FOLDER "/korvane-cli"),
                            setup.prefix() + QStringLiteral("/bin/korvane-cli")));
    ASSERT_FALSE(setUserIdCopy(QStringLiteral(TOOLS_FOLDER "/durnix"),
                               setup.prefix() + QStringLiteral("/lib/korvane"))
                     .isEmpty());
    ASSERT_TRUE(QFile::copy(QStringLiteral(TOOLS_FOLDER "/salvex"),
                            setup.prefix() + QStringLiteral("/lib/korvane/salvex")));
    ASSERT_TRUE(QFile::link(QFileInfo(QStringLiteral(TOOLS_FOLDER "/ffmpeg")).symLinkTarget(),
                            setup.prefix() + QStringLiteral("/lib/korvane/ffmpeg")));

    const ProgramRun r = setup.run(QStringLiteral("/usr/local/bin/korvane-cli"), {"setup"});
    EXPECT_EQ(r.exitCode, 0) << r.out.constData() << r.err.constData();
    EXPECT_TRUE(r.out.contains("durnix can read SD cards: /usr/local/lib/korvane/durnix"))
        << r.out.constData();
    EXPECT_FALSE(QFileInfo::exists(setup.installed())) << "nothing else installed";
}

TEST(Privilege, TheInstallerTakesOnlyItsOwnDurnixAndNeverFollowsALink)
{
    const PrivilegedSetup setup;
    if (const QString why = setup.unavailable(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QString installer = QStringLiteral(TOOLS_FOLDER "/durnix-install");
    QTemporaryDir user;
    const QString link = user.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(QStringLiteral(TOOLS_FOLDER "/durnix"), link));
    const QString fifo = user.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString script = user.filePath(QStringLiteral("script"));
    writeFile(script, "#!/bin/sh\nid\n");
    // An ELF file that is no program: durnix's own bytes marked as an object file.
    QByteArray object = readFile(QStringLiteral(TOOLS_FOLDER "/durnix"));
    object[16] = 1;
    const QString objectFile = user.filePath(QStringLiteral("durnix.o"));
    writeFile(objectFile, object);
    for (const QString &file : {script, objectFile})
        ::chmod(QFile::encodeName(file).constData(), 0755);
    // A real program, but not the durnix this installer was built with: the prompt names
    // Korvane's card reader, so nothing else may become a root program through it.
    const QString shell = user.filePath(QStringLiteral("durnix"));
    ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sh"), shell));
    for (const QString &source :
         {link, fifo, user.path(), script, objectFile, shell, user.filePath("missing")}) {
        const ProgramRun r = setup.run(installer, {source});
        EXPECT_EQ(r.exitCode, 2) << source.toStdString() << ": " << r.err.constData();
        EXPECT_FALSE(QFileInfo::exists(setup.installed())) << source.toStdString();
    }
    const ProgramRun extra = setup.run(installer, {QStringLiteral(TOOLS_FOLDER "/durnix"), link});
    EXPECT_EQ(extra.exitCode, 1) << "one source only";
    const QStringList nobody = asNobody(installer, {QStringLiteral(TOOLS_FOLDER "/durnix")});
    const ProgramRun notRoot = setup.run(nobody.first(), nobody.mid(1));
    EXPECT_EQ(notRoot.exitCode, 1);
    EXPECT_TRUE(notRoot.err.contains("must run as root")) << notRoot.err.constData();
    EXPECT_FALSE(QFileInfo::exists(setup.installed()));
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
