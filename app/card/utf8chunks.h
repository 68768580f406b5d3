#pragma once

#include <QByteArray>
#include <QString>

namespace korvane {

// Turns a child's output, read in chunks as the pipe delivers them, into text. A multi-byte
// character cut at the end of a chunk waits for the rest in the next one; bytes that are not
// UTF-8 become U+FFFD. No text is ever dropped.
class Utf8Chunks
{
public:
    QString decode(const QByteArray &chunk);
    // Whatever is still waiting at the end of the output.
    QString finish();

private:
    QByteArray m_pending;
};

} // namespace korvane
