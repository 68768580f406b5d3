#pragma once

#include "base/logcategories.h"

#include <QString>
#include <QStringList>

#include <concepts>

namespace korvane {

namespace detail {
inline QString logText(const QString &item)
{
    return item;
}
inline QString logText(QStringView item)
{
    return item.toString();
}
inline QString logText(const char *item)
{
    return QString::fromUtf8(item);
}
inline QString logText(const QByteArray &item)
{
    return QString::fromUtf8(item);
}
inline QString logText(bool item)
{
    return item ? QStringLiteral("true") : QStringLiteral("false");
}
template <std::integral T> QString logText(T item)
{
    return QString::number(item);
}
template <std::floating_point T> QString logText(T item)
{
    return QString::number(item);
}
} // namespace detail

// Where log lines go: the viewer writes them to standard output; a command-line program keeps
// standard output for its data and shows them on standard error only when asked to.
enum class LogDestination
{
    standardOutput,
    standardError,
    nowhere
};
void setLogDestination(LogDestination destination);

// Writes one line: "App ->", a blank and the items joined by blanks.
void writeLogLine(const QStringList &items);

// One line of `category`, unless its information messages are turned off.
template <typename... Items>
void appLog(QMessageLogger::CategoryFunction category, const Items &...items)
{
    if (category().isInfoEnabled())
        writeLogLine(QStringList{detail::logText(items)...});
}

} // namespace korvane
