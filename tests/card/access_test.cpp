// An SD card read through UDisks2 by users without any set-user-ID program: UDisks2 opens the
// card once polkit allows it, and durnix, started with the user's own rights, reads the
// descriptor it inherits. The card is a read-only loop device over a sample card image, which
// polkit treats as a system device ("open-device-system").
#include "diskservicesandbox.h"
#include "samplerecordings.h"
#include "simulatedcard.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

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
    // Written before polkitd starts, so that it holds from its first answer.
    const QString rule =
        QStringLiteral("/etc/polkit-1/rules.d/49-korvane-access-test-%1.rules").arg(getpid());
    if (!QDir(QStringLiteral("/etc/polkit-1/rules.d")).exists())
        GTEST_SKIP() << "polkit is not installed";
    writeFile(rule, "polkit.addRule(function(action, subject) {\n"
                    "    if (action.id == \"org.freedesktop.udisks2.open-device-system\" &&\n"
                    "        subject.user == \"nobody\")\n"
                    "        return polkit.Result.YES;\n"
                    "});\n");
    const auto removeRule = qScopeGuard([&] { QFile::remove(rule); });
    DiskServiceSandbox service;
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
