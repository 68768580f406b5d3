#include "records/settingstext.h"

#include "records/texttrim.h"

#include <QStringList>

namespace korvane {

bool isLineBreak(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x0a && u <= 0x0d) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

namespace {

bool isBlank(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

} // namespace

Settings parseSettings(QStringView text)
{
    Settings settings;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isLineBreak(text[i]))
            continue;
        const QStringView line = text.sliced(lineStart, i - lineStart);
        lineStart = i + 1;
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0 || line.indexOf(u'=', equals + 1) >= 0)
            continue;
        settings.insert(trimmedWhere(line.first(equals), isBlank).toString(),
                        trimmedWhere(line.sliced(equals + 1), isBlank).toString());
    }
    return settings;
}

QString formatSettings(const Settings &settings)
{
    QStringList lines;
    for (auto it = settings.cbegin(); it != settings.cend(); ++it)
        lines.append(it.key() + QLatin1Char('=') + it.value());
    return QStringLiteral("[bbox]\n") + lines.join(QLatin1Char('\n'));
}

} // namespace korvane
