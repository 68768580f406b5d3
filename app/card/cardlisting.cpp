#include "card/cardlisting.h"

#include "records/decimaltext.h"
#include "records/settingstext.h"

#include <QRegularExpression>

namespace korvane {

namespace {

bool isOctalEscape(QStringView text, qsizetype at)
{
    if (at + 3 >= text.size() || text[at] != u'\\' || text[at + 1] > u'3')
        return false;
    for (qsizetype k = 1; k <= 3; ++k) {
        if (text[at + k] < u'0' || text[at + k] > u'7')
            return false;
    }
    return true;
}

// The bytes a listed name stands for, and with `written`, for each byte the text that wrote it.
QByteArray listedBytes(const QString &listedName, QStringList *written)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < listedName.size();) {
        if (isOctalEscape(listedName, i)) {
            bytes.append(static_cast<char>(listedName.mid(i + 1, 3).toInt(nullptr, 8)));
            if (written)
                written->append(listedName.mid(i, 4));
            i += 4;
            continue;
        }
        const qsizetype length = listedName[i].isHighSurrogate() ? 2 : 1;
        const QByteArray utf8 = listedName.mid(i, length).toUtf8();
        bytes.append(utf8);
        for (qsizetype k = 0; written && k < utf8.size(); ++k)
            written->append(k == 0 ? listedName.mid(i, length) : QString());
        i += length;
    }
    return bytes;
}

} // namespace

bool isShownInCardName(char32_t c)
{
    // Printable by Unicode's categories, yet blank or joining: fillers, the grapheme joiner,
    // variation selectors. durnix escapes them for the same reason.
    static constexpr char32_t blank[][2] = {{0x34f, 0x34f},   {0x115f, 0x1160},  {0x17b4, 0x17b5},
                                            {0x180b, 0x180f}, {0x3164, 0x3164},  {0xfe00, 0xfe0f},
                                            {0xffa0, 0xffa0}, {0xe0100, 0xe01ef}};
    for (const auto &range : blank) {
        if (c >= range[0] && c <= range[1])
            return false;
    }
    const bool invisible = QChar::category(c) == QChar::Separator_Line ||
                           QChar::category(c) == QChar::Separator_Paragraph ||
                           (QChar::category(c) == QChar::Separator_Space && c != U' ');
    return QChar::isPrint(c) && !invisible && c != U'/' && c != U'\\';
}

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
        entries.append({fields[1], fields[2]});
    }
    return entries;
}

QString readableCardName(const QString &listedName)
{
    QStringList written;
    const QByteArray bytes = listedBytes(listedName, &written);

    QString readable;
    for (qsizetype i = 0; i < bytes.size();) {
        qsizetype length = 1;
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead >= 0xc2 && lead <= 0xf4)
            length = lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;
        const QByteArray sequence = bytes.mid(i, length);
        const QString decoded = QString::fromUtf8(sequence);
        const QList<uint> codes = decoded.toUcs4();
        if (sequence.size() == length && codes.size() == 1 && decoded.toUtf8() == sequence &&
            isShownInCardName(codes[0])) {
            readable += decoded;
            i += length;
            continue;
        }
        // Not shown as a character: the byte as written, an escape where the listing made one.
        readable += written[i].startsWith(u'\\')
                        ? written[i]
                        : QStringLiteral("\\%1").arg(lead, 3, 8, QLatin1Char('0'));
        ++i;
    }
    return readable;
}

QByteArray cardNameBytes(const QString &listedName)
{
    return listedBytes(listedName, nullptr);
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
