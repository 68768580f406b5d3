#include "card/cardvolume.h"

#include <QRegularExpression>
#include <QStringList>

namespace korvane {

namespace {
// mountinfo escapes blanks, tabs, line breaks and backslashes in paths as octal.
QString unescapedMountPath(QString path)
{
    for (const char *code : {"\\040", "\\011", "\\012", "\\134"})
        path.replace(QLatin1String(code),
                     QString(QChar(QString::fromLatin1(code + 1).toInt(nullptr, 8))));
    return path;
}
} // namespace

QString cardVolumeFromMountInfo(const QString &mountInfo, const QString &cardDisk)
{
    if (cardDisk.isEmpty())
        return {};
    // sdb1 for sdb, mmcblk0p1 for mmcblk0: never sdba1 for sdb or mmcblk10p1 for mmcblk1.
    const bool endsInDigit = cardDisk.back().isDigit();
    const QRegularExpression partition(QStringLiteral("^%1%2\\d+$")
                                           .arg(QRegularExpression::escape(cardDisk),
                                                endsInDigit ? QStringLiteral("p") : QString()));
    for (const QString &line : mountInfo.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        // id parent major:minor root mountpoint options ... - fstype source superoptions
        const qsizetype separator = line.indexOf(QLatin1String(" - "));
        if (separator < 0)
            continue;
        const QStringList before = line.left(separator).split(QLatin1Char(' '));
        const QStringList after = line.mid(separator + 3).split(QLatin1Char(' '));
        if (before.size() < 5 || after.size() < 2)
            continue;
        const QString &type = after[0];
        const QString &source = after[1];
        const bool partitionOfCard = partition.match(source).hasMatch();
        if (partitionOfCard && (type == u"vfat" || type == u"exfat"))
            return unescapedMountPath(before[4]);
    }
    return {};
}

} // namespace korvane
