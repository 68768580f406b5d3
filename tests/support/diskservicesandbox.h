#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace korvane::test {

// UDisks2 as a desktop runs it, on a system bus of its own: dbus-daemon with the system bus's
// configuration, polkitd, systemd-udevd (when none runs: udisksd learns of block devices from
// it) and udisksd. Programs given systemBusAddress() as DBUS_SYSTEM_BUS_ADDRESS ask this UDisks2
// and this polkit. Everything started is stopped when it goes, or killed when the test program
// dies.
class DiskServiceSandbox
{
public:
    // `polkitRule`, when given, is the one file of this polkitd's /etc/polkit-1/rules.d (in a
    // mount namespace of its own: the machine's polkit never sees it).
    explicit DiskServiceSandbox(const QByteArray &polkitRule = {});
    ~DiskServiceSandbox();
    DiskServiceSandbox(const DiskServiceSandbox &) = delete;
    DiskServiceSandbox &operator=(const DiskServiceSandbox &) = delete;

    // Why the sandbox could not be started (not root, a program missing); empty when it runs.
    QString unavailable() const { return m_unavailable; }
    QString systemBusAddress() const;
    // Waits until UDisks2 has the block device `device`; false when it never does.
    bool waitForDevice(const QString &device) const;

private:
    void start(const QString &program, const QStringList &arguments);
    bool waitForName(const QString &name) const;

    QTemporaryDir m_folder;
    std::vector<std::unique_ptr<QProcess>> m_daemons;
    QString m_unavailable;
};

} // namespace korvane::test
