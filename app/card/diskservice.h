#pragma once

#include <QCoroTask>
#include <QDBusUnixFileDescriptor>
#include <QString>

namespace korvane {

// A card opened for reading through UDisks2, the desktop's disk service: polkit asks the
// administrator through the desktop's agent ("open-device", or "open-device-system" for fixed
// and loop devices), and the read-only descriptor UDisks2 hands over is all a reading of the
// card needs: durnix inherits it and runs with the user's own rights.
struct OpenedCard
{
    QDBusUnixFileDescriptor descriptor; // invalid when the card was not opened
    QString problem;                    // why not, in UDisks2's or polkit's words
};

class DiskService
{
public:
    // Why UDisks2 cannot be asked (no system bus, the service neither running nor startable);
    // empty when it can.
    static QString unavailableReason();
    // The whole disk at `devicePath` opened read-only; waits for the administrator's answer.
    static QCoro::Task<OpenedCard> openForReading(QString devicePath);
};

} // namespace korvane
