#pragma once

#include <QStringView>

namespace korvane {

// `text` without the characters at either end for which `drop` holds.
template <typename Predicate> QStringView trimmedWhere(QStringView text, Predicate drop)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && drop(text[begin]))
        ++begin;
    while (end > begin && drop(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

} // namespace korvane
