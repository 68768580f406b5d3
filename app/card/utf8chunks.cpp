#include "card/utf8chunks.h"

namespace korvane {

namespace {

// How many bytes at the end of `bytes` begin a character that is not complete yet.
qsizetype incompleteTail(const QByteArray &bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(bytes[size - back]);
        if ((byte & 0xc0) == 0x80)
            continue; // a continuation byte: look further back for the lead byte
        const qsizetype length = byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : byte >= 0xc0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

} // namespace

QString Utf8Chunks::decode(const QByteArray &chunk)
{
    m_pending += chunk;
    const qsizetype keep = incompleteTail(m_pending);
    const QString text = QString::fromUtf8(m_pending.constData(), m_pending.size() - keep);
    m_pending = m_pending.right(keep);
    return text;
}

QString Utf8Chunks::finish()
{
    const QString text = QString::fromUtf8(m_pending);
    m_pending.clear();
    return text;
}

} // namespace korvane
