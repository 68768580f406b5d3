#pragma once

#include <QString>

#include <ostream>

// Failing comparisons of Qt text show the text, not its bytes.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE
