#include "diskservicesandbox.h"

#include "testfiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane::test {

namespace {

const QString dbusDaemon = QStringLiteral("/usr/bin/dbus-daemon");
const QString polkitd = QStringLiteral("/usr/lib/polkit-1/polkitd");
const QString udevd = QStringLiteral("/lib/systemd/systemd-udevd");
const QString udisksd = QStringLiteral("/usr/libexec/udisks2/udisksd");
constexpr int startLimitMs = 20000;

bool udevRuns()
{
    return run(QStringLiteral("pgrep"), {"-x", "systemd-udevd"}).exitCode == 0;
}

// What a busy machine needs to answer, polled: each check is a state, not a pause.
template <typename Check> bool waitUntil(Check check)
{
    const QDeadlineTimer limit(startLimitMs);
    while (!check()) {
        if (limit.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

} // namespace

DiskServiceSandbox::DiskServiceSandbox(const QByteArray &polkitRule)
{
    if (geteuid() != 0) {
        m_unavailable = QStringLiteral("the disk service's daemons need root");
        return;
    }
    for (const QString &program :
         {dbusDaemon, polkitd, udevd, udisksd, QStringLiteral("/usr/bin/dbus-send")}) {
        if (!QFileInfo(program).isExecutable()) {
            m_unavailable = program + QStringLiteral(" is not installed");
            return;
        }
    }
    if (!QFileInfo(QStringLiteral("/etc/polkit-1/rules.d")).isDir()) {
        m_unavailable = QStringLiteral("polkit has no /etc/polkit-1/rules.d here");
        return;
    }
    // polkitd gives up root before it connects, and every user the tests run asks the bus.
    chmod(QFile::encodeName(m_folder.path()).constData(), 0755);
    const QString socket = m_folder.filePath(QStringLiteral("system_bus_socket"));
    start(dbusDaemon, {"--config-file=/usr/share/dbus-1/system.conf",
                       "--address=unix:path=" + socket, "--nofork", "--nopidfile"});
    if (!waitUntil([&] { return QFileInfo::exists(socket); })) {
        m_unavailable = QStringLiteral("dbus-daemon did not start");
        return;
    }
    const QString rules = m_folder.filePath(QStringLiteral("rules.d"));
    QDir().mkpath(rules);
    if (!polkitRule.isEmpty())
        writeFile(rules + QStringLiteral("/49-test.rules"), polkitRule);
    start(QStringLiteral("unshare"), {"--mount", "--propagation", "private", "/bin/sh", "-c",
                                      "mount --bind \"$0\" /etc/polkit-1/rules.d && exec \"$@\"",
                                      rules, polkitd, "--no-debug"});
    if (!waitForName(QStringLiteral("org.freedesktop.PolicyKit1"))) {
        m_unavailable = QStringLiteral("polkitd did not start");
        return;
    }
    if (!udevRuns()) {
        start(udevd, {});
        if (!waitUntil(udevRuns)) {
            m_unavailable = QStringLiteral("systemd-udevd did not start");
            return;
        }
    }
    start(udisksd, {});
    if (!waitForName(QStringLiteral("org.freedesktop.UDisks2")))
        m_unavailable = QStringLiteral("udisksd did not start");
}

DiskServiceSandbox::~DiskServiceSandbox()
{
    for (auto daemon = m_daemons.rbegin(); daemon != m_daemons.rend(); ++daemon) {
        (*daemon)->terminate();
        if (!(*daemon)->waitForFinished(5000))
            (*daemon)->kill();
        (*daemon)->waitForFinished();
    }
}

QString DiskServiceSandbox::systemBusAddress() const
{
    return QStringLiteral("unix:path=") + m_folder.filePath(QStringLiteral("system_bus_socket"));
}

void DiskServiceSandbox::start(const QString &program, const QStringList &arguments)
{
    auto daemon = std::make_unique<QProcess>();
    // A test program that dies leaves no daemon behind (for those that keep root's rights).
    daemon->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), systemBusAddress());
    daemon->setProcessEnvironment(environment);
    // Their messages, for a failing test to be looked into.
    daemon->setProcessChannelMode(QProcess::MergedChannels);
    daemon->setStandardOutputFile(
        m_folder.filePath(program.section(QLatin1Char('/'), -1) + QStringLiteral(".log")));
    daemon->start(program, arguments);
    daemon->waitForStarted();
    m_daemons.push_back(std::move(daemon));
}

bool DiskServiceSandbox::waitForName(const QString &name) const
{
    return waitUntil([&] {
        return run(QStringLiteral("dbus-send"),
                   {"--bus=" + systemBusAddress(), "--print-reply", "--dest=org.freedesktop.DBus",
                    "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:" + name})
            .out.contains("boolean true");
    });
}

bool DiskServiceSandbox::waitForDevice(const QString &device) const
{
    run(QStringLiteral("udevadm"), {"settle"});
    const QString object = QStringLiteral("/org/freedesktop/UDisks2/block_devices/") +
                           device.section(QLatin1Char('/'), -1);
    // Known, and known with its backing file: a loop device is announced before it has one.
    return waitUntil([&] {
        const ProgramRun size =
            run(QStringLiteral("dbus-send"),
                {"--bus=" + systemBusAddress(), "--print-reply", "--dest=org.freedesktop.UDisks2",
                 object, "org.freedesktop.DBus.Properties.Get",
                 "string:org.freedesktop.UDisks2.Block", "string:Size"});
        return size.exitCode == 0 && size.out.contains("uint64") &&
               !size.out.trimmed().endsWith(" 0");
    });
}

} // namespace korvane::test
