#pragma once

#include "records/metadataextraction.h"

#include <QByteArray>

#include <algorithm>

namespace korvane::test {

// The metadata scan done the plain way: one search per tag, each from the start of the data.
// The real scan finds all three tags in one pass and must always agree with this.
inline MediaRecords referenceScan(QByteArrayView data)
{
    MediaRecords all;
    for (const char *tag : {"DAT", "GPS", "SHO"}) {
        qsizetype from = 0;
        for (;;) {
            const qsizetype p = data.indexOf(QByteArrayView(tag), from);
            if (p < 0 || p + 8 > data.size())
                break;
            bool ok = false;
            const QByteArray field = data.sliced(p + 3, 5).toByteArray();
            const bool signAndDigits = std::all_of(field.begin(), field.end(), [](char c) {
                return (c >= '0' && c <= '9') || c == '+' || c == '-';
            });
            const int length = signAndDigits ? field.toInt(&ok) : 0;
            if (!ok || length < 0) {
                from = p + 8;
                continue;
            }
            if (p + 8 + length > data.size())
                break;
            if (auto record = decodeFrame(tag, data.sliced(p + 8, length)))
                all.append(*record);
            from = p + 8 + length;
        }
    }
    return all;
}

} // namespace korvane::test
