#include "cli/output.h"

#include "card/cardlisting.h"

#include <cstdio>
#include <unistd.h>

namespace korvane::cli {

void writeOut(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void writeError(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

void complain(const QString &text)
{
    writeError(QStringLiteral("korvane-cli: ") + text + QLatin1Char('\n'));
}

QByteArray printable(const QString &text)
{
    QByteArray shown;
    for (const char32_t c : text.toUcs4()) {
        const QByteArray bytes = QString::fromUcs4(&c, 1).toUtf8();
        if (isShownInCardName(c) || c == U'/' || c == U'\\') {
            shown += bytes;
            continue;
        }
        for (const char byte : bytes)
            shown += '\\' + QByteArray::number(static_cast<uchar>(byte), 8).rightJustified(3, '0');
    }
    return shown;
}

bool errorsGoToTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

ProgressLine::ProgressLine(bool shown) : m_shown(shown) {}

ProgressLine::~ProgressLine()
{
    clear();
}

void ProgressLine::show(const QString &text)
{
    if (!m_shown)
        return;
    // Back to the start of the line, the text, and the rest of the old line erased.
    writeError(QStringLiteral("\rkorvane-cli: ") + text + QStringLiteral("\x1b[K"));
    m_showing = true;
}

void ProgressLine::clear()
{
    if (m_showing)
        writeError(QStringLiteral("\r\x1b[K"));
    m_showing = false;
}

} // namespace korvane::cli
