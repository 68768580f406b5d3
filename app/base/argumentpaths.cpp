#include "base/argumentpaths.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>

#include <fcntl.h>
#include <unistd.h>

namespace korvane {

namespace {

// Each stand-in's path and the argument's own bytes.
QHash<QString, QByteArray> &standIns()
{
    static QHash<QString, QByteArray> paths;
    return paths;
}

const QChar unreadable = QChar(QChar::ReplacementCharacter);

} // namespace

QStringList commandLineArguments(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        const QByteArray bytes(argv[i]);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(bytes);
        if (!utf8.hasError()) {
            arguments.append(text);
            continue;
        }
        // O_PATH: nothing is read or changed through it, only the place is kept.
        const int fd = open(bytes.constData(), O_PATH | O_CLOEXEC);
        if (fd < 0) {
            arguments.append(text); // holds U+FFFD where the bytes were no UTF-8
            continue;
        }
        // By this process's number: the tools it starts must reach the same place.
        const QString standIn = QStringLiteral("/proc/%1/fd/%2").arg(getpid()).arg(fd);
        standIns().insert(standIn, bytes);
        arguments.append(standIn);
    }
    return arguments;
}

QByteArray userPath(const QString &path)
{
    for (auto it = standIns().cbegin(); it != standIns().cend(); ++it) {
        if (path == it.key() || path.startsWith(it.key() + QLatin1Char('/')))
            return it.value() + QFile::encodeName(path.mid(it.key().size()));
    }
    return QFile::encodeName(path);
}

bool isUnreadableName(const QString &argument)
{
    return argument.contains(unreadable) && !QFile::exists(argument);
}

} // namespace korvane
