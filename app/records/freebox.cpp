#include "records/freebox.h"

#include <QFile>
#include <QtEndian>

#include <cstring>

namespace korvane {

bool appendFreeBox(const QString &path, const QByteArray &payload)
{
    QByteArray box;
    const quint64 size = 8 + static_cast<quint64>(payload.size());
    if (size <= 0xffffffffu) {
        box.resize(4);
        qToBigEndian(static_cast<quint32>(size), box.data());
        box += "free";
    } else {
        // A 64-bit size follows the type: size field 1.
        box.resize(16);
        qToBigEndian(quint32{1}, box.data());
        std::memcpy(box.data() + 4, "free", 4);
        qToBigEndian(size + 8, box.data() + 8);
    }
    box += payload;
    QFile file(path);
    if (!file.open(QIODevice::Append))
        return false;
    return file.write(box) == box.size() && file.flush();
}

} // namespace korvane
