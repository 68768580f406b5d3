#include "records/protectedtracks.h"

#include <QFile>
#include <QtEndian>

namespace korvane {

namespace {
// A "moov" larger than this is no recording's: it is not read.
constexpr qint64 largestMovie = qint64{64} << 20;
} // namespace

bool hasProtectedTracks(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // The top-level boxes, to the "moov".
    for (qint64 at = 0; at + 8 <= file.size();) {
        file.seek(at);
        const QByteArray header = file.read(16);
        if (header.size() < 8)
            return false;
        quint64 size = qFromBigEndian<quint32>(header.constData());
        qint64 headerSize = 8;
        if (size == 1 && header.size() == 16) {
            size = qFromBigEndian<quint64>(header.constData() + 8);
            headerSize = 16;
        } else if (size == 0) {
            size = static_cast<quint64>(file.size() - at);
        }
        if (size < static_cast<quint64>(headerSize))
            return false;
        if (header.mid(4, 4) == "moov") {
            if (size > static_cast<quint64>(largestMovie))
                return false;
            const QByteArray movie = file.read(static_cast<qint64>(size) - headerSize);
            // A sample entry's type follows its size; any box named so is a protected entry.
            for (const char *entry : {"encv", "enca"}) {
                for (qsizetype found = movie.indexOf(entry); found >= 0;
                     found = movie.indexOf(entry, found + 1)) {
                    if (found >= 4 && qFromBigEndian<quint32>(movie.constData() + found - 4) >= 8)
                        return true;
                }
            }
            return false;
        }
        at += static_cast<qint64>(size);
    }
    return false;
}

} // namespace korvane
