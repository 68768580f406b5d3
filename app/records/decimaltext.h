#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include <limits>
#include <optional>

namespace korvane {

// Reads a whole text as a decimal integer: an optional sign, then one or more ASCII digits and
// nothing else. Values that do not fit an int are as unreadable as any other garbage.
inline std::optional<int> readDecimal(QByteArrayView text)
{
    qsizetype i = 0;
    bool negative = false;
    if (!text.isEmpty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size())
        return std::nullopt;
    constexpr long long limit = std::numeric_limits<int>::max() + 1LL;
    long long value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > limit)
            return std::nullopt;
    }
    if (!negative && value == limit)
        return std::nullopt;
    return static_cast<int>(negative ? -value : value);
}

inline std::optional<int> readDecimal(QStringView text)
{
    QByteArray ascii;
    ascii.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() > 0x7f)
            return std::nullopt;
        ascii.append(static_cast<char>(c.unicode()));
    }
    return readDecimal(QByteArrayView(ascii));
}

} // namespace korvane
