#include "applog.h"

#include <QMutex>

#include <cstdio>

namespace korvane {

void writeLogLine(const QStringList &items)
{
    // Background work logs too: one line must never be torn by another thread's line.
    static QMutex mutex;
    const QByteArray line = "App -> " + items.join(QLatin1Char(' ')).toUtf8() + '\n';
    QMutexLocker lock(&mutex);
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fflush(stdout);
}

} // namespace korvane
