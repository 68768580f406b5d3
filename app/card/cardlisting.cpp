#include "cardlisting.h"

#include "decimaltext.h"
#include "settingstext.h"

#include <QRegularExpression>

namespace korvane {

namespace {

QString unescaped(const QString &field)
{
    QByteArray bytes = field.toUtf8();
    QByteArray name;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        bool octal = bytes[i] == '\\' && i + 3 < bytes.size() + 0;
        for (qsizetype k = 1; octal && k <= 3; ++k)
            octal = bytes[i + k] >= '0' && bytes[i + k] <= '7';
        if (octal) {
            name.append(static_cast<char>(bytes.mid(i + 1, 3).toInt(nullptr, 8)));
            i += 3;
        } else {
            name.append(bytes[i]);
        }
    }
    return QString::fromUtf8(name);
}

} // namespace

QList<CardEntry> parseCardListing(const QString &output)
{
    static const QRegularExpression blanks(QStringLiteral("[ \\t]+"));
    QList<CardEntry> entries;
    for (const QString &line : output.split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(blanks, Qt::SkipEmptyParts);
        if (fields.size() < 3 || fields[1] == u"." || fields[1] == u"..")
            continue;
        bool number = false;
        fields[0].toULongLong(&number);
        if (!number)
            continue;
        entries.append({unescaped(fields[1]), fields[2]});
    }
    return entries;
}

int activeChannels(const QString &iniText)
{
    const Settings settings = parseSettings(iniText);
    int count = 0;
    for (int k = 1; k <= 5; ++k) {
        const QString value =
            settings.value(QStringLiteral("ch%1_resol").arg(k), QStringLiteral("0"));
        count += readDecimal(QStringView(value)).value_or(0) > 0;
    }
    return count;
}

} // namespace korvane
