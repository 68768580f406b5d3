#include "picturematch.h"

#include "testfiles.h"

#include <cstdlib>

namespace korvane::test {

namespace {

constexpr qsizetype thumbnailBytes = 80 * 60;

} // namespace

QList<QByteArray> lumaThumbnails(const QString &path, int stream, const QString &crop)
{
    const QString filters =
        (crop.isEmpty() ? QString() : crop + QLatin1Char(',')) + QStringLiteral("scale=80:60");
    const QByteArray raw =
        run(QStringLiteral("ffmpeg"),
            {"-v", "error", "-i", path, "-map", QStringLiteral("0:v:%1").arg(stream), "-fps_mode",
             "passthrough", "-vf", filters, "-pix_fmt", "gray", "-f", "rawvideo", "-"})
            .out;
    QList<QByteArray> pictures;
    for (qsizetype at = 0; at + thumbnailBytes <= raw.size(); at += thumbnailBytes)
        pictures.append(raw.mid(at, thumbnailBytes));
    return pictures;
}

QList<int> likestPictures(const QList<QByteArray> &pictures, const QList<QByteArray> &sources)
{
    QList<int> found;
    for (const QByteArray &picture : pictures) {
        int best = -1;
        qint64 bestDistance = -1;
        for (int k = 0; k < sources.size(); ++k) {
            qint64 distance = 0;
            for (qsizetype i = 0; i < picture.size() && i < sources[k].size(); ++i)
                distance +=
                    std::abs(static_cast<quint8>(picture[i]) - static_cast<quint8>(sources[k][i]));
            if (bestDistance < 0 || distance < bestDistance) {
                bestDistance = distance;
                best = k;
            }
        }
        found.append(best);
    }
    return found;
}

} // namespace korvane::test
