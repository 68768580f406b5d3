#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <ctime>

namespace korvane::test {

// Sets the computer's time zone (TZ) for one test and puts the old one back.
class ComputerTimeZone
{
public:
    explicit ComputerTimeZone(const char *zone)
        : m_old(qgetenv("TZ")), m_hadOld(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ComputerTimeZone()
    {
        if (m_hadOld)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        tzset();
    }
    ComputerTimeZone(const ComputerTimeZone &) = delete;
    ComputerTimeZone &operator=(const ComputerTimeZone &) = delete;

private:
    QByteArray m_old;
    bool m_hadOld;
};

} // namespace korvane::test
