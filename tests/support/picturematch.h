#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace korvane::test {

// Every picture of a file's `stream`-th video stream as ffmpeg decodes it, after `crop` (an
// ffmpeg crop filter, or none), as 80x60 luma, in output order.
QList<QByteArray> lumaThumbnails(const QString &path, int stream, const QString &crop = {});

// For each picture, the index of the one of `sources` it is most like (the least sum of luma
// differences): which recorded picture a clip's picture shows, whether copied or encoded anew.
QList<int> likestPictures(const QList<QByteArray> &pictures, const QList<QByteArray> &sources);

} // namespace korvane::test
