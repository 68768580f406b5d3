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
// and this polkit. Everything started is stopped when it goes.
class DiskServiceSandbox
{
public:
    DiskServiceSandbox();
    ~DiskServiceSandbox();
    DiskServiceSandbox(const DiskServiceSandbox &) = delete;
    DiskServiceSandbox &operator=(const DiskServiceSandbox &) = delete;

    // Why the sandbox could not be started (not root, a program missing); empty when it runs.
    QString unavailable() const { return m_unavailable; }
    QString systemBusAddress() const;
    // Waits until UDisks2 has the block device `device`; false when it never does.
    bool waitForDevice(const QString &device);

private:
    QProcess *start(const QString &program, const QStringList &arguments);
    bool waitForName(const QString &name);

    QTemporaryDir m_folder;
    std::vector<std::unique_ptr<QProcess>> m_daemons;
    QString m_unavailable;
};

} // namespace korvane::test
