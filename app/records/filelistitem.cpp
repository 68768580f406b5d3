#include "records/filelistitem.h"

#include <QRegularExpression>

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
        if (name.contains(QLatin1String(m.marker)))
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

} // namespace korvane
