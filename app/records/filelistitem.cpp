#include "records/filelistitem.h"

#include <QCollator>
#include <QRegularExpression>

#include <algorithm>
#include <utility>
#include <vector>

namespace korvane {

namespace {
struct Marker
{
    const char *marker;
    const char *type;
    const char *label;
};
constexpr Marker markers[] = {{"N_", "normal", "REC"},
                              {"E_", "event", "EVT"},
                              {"P_", "park", "PAK"},
                              {"M_", "manual", "MAN"}};
} // namespace

bool isUnfinishedRecording(const QString &name)
{
    return name.endsWith(QLatin1String(".mov"));
}

QString FileListItem::dateText() const
{
    static const QRegularExpression stamp(QStringLiteral("_(\\d{8})_(\\d{6})"));
    const QRegularExpressionMatch m = stamp.match(name);
    if (!m.hasMatch())
        return QStringLiteral("-");
    const QString d = m.captured(1), t = m.captured(2);
    return QStringLiteral("%1/%2/%3 %4:%5:%6")
        .arg(d.left(4), d.mid(4, 2), d.mid(6, 2), t.left(2), t.mid(2, 2), t.mid(4, 2));
}

QString FileListItem::typeLabel() const
{
    for (const Marker &m : markers) {
        if (!name.contains(QLatin1String(m.marker)))
            continue;
        // The card's kept folder holds recordings of every kind: they are shown as kept.
        if (type == u"saved" && !fromComputer)
            return QStringLiteral("KEEP");
        return QLatin1String(m.label);
    }
    return {};
}

QString FileListItem::typeColor() const
{
    const QString label = typeLabel();
    if (label == u"EVT")
        return QStringLiteral("red");
    if (label == u"PAK")
        return QStringLiteral("green");
    if (label == u"MAN")
        return QStringLiteral("yellow");
    if (label == u"KEEP")
        return QStringLiteral("blue");
    return {};
}

QString FileListItem::cardPath() const
{
    return QStringLiteral("mov/") + type + QLatin1Char('/') + name;
}

QString typeFromPath(const QString &path)
{
    for (const Marker &m : markers) {
        if (path.contains(QLatin1String(m.marker)))
            return QLatin1String(m.type);
    }
    return QStringLiteral("saved");
}

void sortNewestFirst(QList<FileListItem> &rows)
{
    // Each row's date read and its sort key made once, not at every comparison: a card holds
    // thousands of recordings.
    QCollator collator;
    std::vector<std::pair<QCollatorSortKey, qsizetype>> keys;
    keys.reserve(static_cast<size_t>(rows.size()));
    for (qsizetype i = 0; i < rows.size(); ++i)
        keys.emplace_back(collator.sortKey(rows[i].dateText()), i);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto &a, const auto &b) { return b.first.compare(a.first) < 0; });
    QList<FileListItem> sorted;
    sorted.reserve(rows.size());
    for (const auto &key : keys)
        sorted.append(std::move(rows[key.second]));
    rows = std::move(sorted);
}

} // namespace korvane
