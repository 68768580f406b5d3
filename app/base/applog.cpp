#include "base/applog.h"

#include <QMutex>

#include <atomic>
#include <cstdio>

namespace korvane {

namespace {
std::atomic<LogDestination> destination{LogDestination::standardOutput};
}

void setLogDestination(LogDestination where)
{
    destination = where;
}

void writeLogLine(const QStringList &items)
{
    // Background work logs too: one line must never be torn by another thread's line.
    static QMutex mutex;
    const LogDestination where = destination;
    if (where == LogDestination::nowhere)
        return;
    std::FILE *stream = where == LogDestination::standardError ? stderr : stdout;
    const QByteArray line = "App -> " + items.join(QLatin1Char(' ')).toUtf8() + '\n';
    QMutexLocker lock(&mutex);
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stream);
    std::fflush(stream);
}

} // namespace korvane
