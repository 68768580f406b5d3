// An SD card read through UDisks2 by users without any set-user-ID program: UDisks2 opens the
// card once polkit allows it, and durnix, started with the user's own rights, reads the
// descriptor it inherits. The card is a read-only loop device over a sample card image, which
// polkit treats as a system device ("open-device-system").
#include "diskservicesandbox.h"
#include "card/processmanager.h"
#include "samplerecordings.h"
#include "simulatedcard.h"
#include "testfiles.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace korvane::test;

namespace {

const QString tools = QStringLiteral(TOOLS_FOLDER);
constexpr uid_t nobody = 65534;
constexpr uid_t daemonUser = 1;

// korvane-cli with its tools beside it, in a folder any user may enter: the build tree may be
// closed to other users.
QString programsForAnyone(const QString &folder)
{
    QDir().mkpath(folder);
    chmod(QFile::encodeName(folder).constData(), 0755);
    for (const char *program : {"korvane-cli", "durnix", "salvex"})
        QFile::copy(tools + QLatin1Char('/') + QLatin1String(program),
                    folder + QLatin1Char('/') + QLatin1String(program));
    QFile::link(QFile::symLinkTarget(tools + QStringLiteral("/ffmpeg")),
                folder + QStringLiteral("/ffmpeg"));
    return folder + QStringLiteral("/korvane-cli");
}

// A home of the user's own: the working and tools folders must be theirs alone.
QString homeOf(uid_t user, const QString &folder)
{
    const QString home = folder + QStringLiteral("/home-") + QString::number(user);
    QDir().mkpath(home);
    chown(QFile::encodeName(home).constData(), user, user);
    chmod(QFile::encodeName(home).constData(), 0700);
    return home;
}

ProgramRun cliAs(uid_t user, const QString &home, const QString &cli, const QStringList &arguments,
                 const DiskServiceSandbox &service)
{
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), service.systemBusAddress());
    const QString id = QString::number(user);
    return run(QStringLiteral("setpriv"),
               QStringList{"--reuid=" + id, "--regid=" + id, "--clear-groups", "/bin/sh", "-c",
                           "exec \"$0\" \"$@\"", cli} +
                   arguments,
               environment);
}

QStringList setUserIdFiles(const QString &folder)
{
    const ProgramRun found = run(QStringLiteral("find"), {folder, "-perm", "-4000"});
    return QString::fromUtf8(found.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

TEST(AccessDiskService, AUserPolkitAllowsListsAndSavesTheCardAndOthersHearPolkitsReason)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "the disk service's daemons need root";
    // Granted by a rule only this test's polkitd reads.
    const DiskServiceSandbox service(
        "polkit.addRule(function(action, subject) {\n"
        "    if (action.id == \"org.freedesktop.udisks2.open-device-system\" &&\n"
        "        subject.user == \"nobody\")\n"
        "        return polkit.Result.YES;\n"
        "});\n");
    if (!service.unavailable().isEmpty())
        GTEST_SKIP() << service.unavailable().toStdString();

    const QString image = sampleCardImage({"--seconds", "0.5"});
    const LoopDevice card(image);
    if (card.device().isEmpty())
        GTEST_SKIP() << "no loop devices here";
    ASSERT_TRUE(service.waitForDevice(card.device()));
    QTemporaryDir folder;
    chmod(QFile::encodeName(folder.path()).constData(), 0755);
    const QString cli = programsForAnyone(folder.filePath(QStringLiteral("programs")));

    // What is on the card, read by e2fsprogs rather than by anything of ours.
    const QString onCard = image + QStringLiteral("?offset=104857600");
    const QByteArray manual =
        run(QStringLiteral("debugfs"), {"-R", "ls -p mov/manual", onCard}).out;
    ASSERT_TRUE(manual.contains("M_20241005_145012.mov")) << manual.constData();

    const QString home = homeOf(nobody, folder.path());
    const ProgramRun listed = cliAs(nobody, home, cli, {"card", "list", card.device()}, service);
    ASSERT_EQ(listed.exitCode, 0) << listed.err.constData();
    EXPECT_TRUE(listed.out.contains("manual\tM_20241005_145012.mov\t")) << listed.out.constData();
    EXPECT_TRUE(listed.out.contains("active channels: ")) << listed.out.constData();

    const QString saved = home + QStringLiteral("/saved");
    QDir().mkpath(saved);
    chown(QFile::encodeName(saved).constData(), nobody, nobody);
    const ProgramRun saving = cliAs(
        nobody, home, cli, {"card", "save", "--type", "manual", card.device(), saved}, service);
    ASSERT_EQ(saving.exitCode, 0) << saving.err.constData();
    const QString dumped = folder.filePath(QStringLiteral("dumped.mov"));
    run(QStringLiteral("debugfs"),
        {"-R", "dump mov/manual/M_20241005_145012.mov " + dumped, onCard});
    const QByteArray original = readFile(dumped);
    ASSERT_FALSE(original.isEmpty());
    EXPECT_EQ(readFile(saved + QStringLiteral("/M_20241005_145012.mov")), original)
        << "the recording saved is the card's, byte for byte";

    // Nobody else is allowed: polkit's refusal is what the user reads.
    const QString otherHome = homeOf(daemonUser, folder.path());
    const ProgramRun refused =
        cliAs(daemonUser, otherHome, cli, {"card", "list", card.device()}, service);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains("Not authorized")) << refused.err.constData();
    EXPECT_FALSE(refused.out.contains("M_20241005_145012.mov"));

    EXPECT_EQ(setUserIdFiles(tools), QStringList()) << "no set-user-ID program in the build";
    EXPECT_EQ(setUserIdFiles(folder.path()), QStringList());
}

namespace {

// How many descriptors this process holds on `device`.
int descriptorsOn(const QString &device)
{
    // D-Bus replies, which hold descriptors too, go with their watchers' deferred deletion.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    int count = 0;
    for (const QFileInfo &fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System))
        count += fd.symLinkTarget() == device;
    return count;
}

// Whether every descriptor on `device` is closed. The answer to a call made for a card that left
// may still be on its way: its descriptor is closed when it arrives, and that is waited for.
bool released(const QString &device)
{
    return QTest::qWaitFor([&] { return descriptorsOn(device) == 0; }, 30000);
}

} // namespace

// The viewer's own use: every listing and copy of one insertion reads through one descriptor,
// callers that come while UDisks2 is asked wait for its answer, and an answer that comes after
// the card went is not kept for the card put back.
TEST(AccessDiskService, TheCardIsOpenedOncePerInsertionForEveryReadOfIt)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "the disk service's daemons need root";
    const DiskServiceSandbox service;
    if (!service.unavailable().isEmpty())
        GTEST_SKIP() << service.unavailable().toStdString();
    const LoopDevice card(sampleCardImage({"--seconds", "0.5"}));
    if (card.device().isEmpty())
        GTEST_SKIP() << "no loop devices here";
    ASSERT_TRUE(service.waitForDevice(card.device()));
    // This test's process asks this UDisks2; it is root, whom polkit allows.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", service.systemBusAddress().toUtf8());

    korvane::ProcessManager manager;
    manager.tools().setBundledTools(tools + QLatin1Char('/'));
    ASSERT_TRUE(QCoro::waitFor(manager.tools().prepareTools()));
    ASSERT_TRUE(manager.tools().chooseCardAccess());
    ASSERT_EQ(manager.tools().cardAccess(), korvane::ToolSet::CardAccess::DiskService);
    manager.setRawDevicePath(card.device());
    QCoro::Task<QList<korvane::CardEntry>> settings = manager.listCardFolder("cfg");
    QCoro::Task<QList<korvane::CardEntry>> lists = manager.listCardFolder("mov");
    EXPECT_FALSE(QCoro::waitFor(std::move(settings)).isEmpty());
    EXPECT_FALSE(QCoro::waitFor(std::move(lists)).isEmpty());
    EXPECT_EQ(descriptorsOn(card.device()), 1) << "one descriptor for both";

    manager.setRawDevicePath({});
    EXPECT_TRUE(released(card.device())) << "let go with the card";

    // Taken out while UDisks2 is being asked, and put back under the same name.
    manager.setRawDevicePath(card.device());
    {
        QCoro::Task<QList<korvane::CardEntry>> stale = manager.listCardFolder("cfg");
        manager.setRawDevicePath({});
        manager.setRawDevicePath(card.device());
        EXPECT_TRUE(QCoro::waitFor(std::move(stale)).isEmpty());
    }
    EXPECT_TRUE(released(card.device())) << "the late answer is not kept";
    EXPECT_FALSE(QCoro::waitFor(manager.listCardFolder("cfg")).isEmpty())
        << "the card put back is asked for anew";
    EXPECT_EQ(descriptorsOn(card.device()), 1);
}
