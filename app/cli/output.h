#pragma once

#include <QByteArray>
#include <QString>

namespace korvane::cli {

// Data, to standard output.
void writeOut(const QByteArray &bytes);
// A message, to standard error: "korvane-cli: " and the text.
void complain(const QString &text);
void writeError(const QString &text);

// Text from a card, as one field of a line: nothing it holds may act on the terminal, hide, or
// split the field; those characters show as octal escapes (\ooo).
QByteArray printable(const QString &text);

// One line of progress on standard error, rewritten in place, while it is a terminal; nothing
// otherwise, so that a script's captured messages hold only what went wrong.
class ProgressLine
{
public:
    explicit ProgressLine(bool shown);
    ~ProgressLine();
    ProgressLine(const ProgressLine &) = delete;
    ProgressLine &operator=(const ProgressLine &) = delete;

    void show(const QString &text);
    void clear();

private:
    bool m_shown;
    bool m_showing = false;
};

// Whether standard error is a terminal.
bool errorsGoToTerminal();

} // namespace korvane::cli
