#pragma once

#include "card/toolset.h"

#include <QCoroTask>
#include <QDateTime>
#include <QList>
#include <QString>

namespace korvane {

// One recording a clip was cut from, as an evidence report names it.
struct EvidenceSource
{
    QString name;     // as the card names it
    QString copy;     // the file as read from the card, whose SHA-256 the report gives
    QString playable; // the file the clip was cut from (the same, or a playable copy of it)
    QDateTime start;  // the dashcam's clock at its first picture
    double from = 0;  // its part of the clip, in seconds of `playable`
    double to = 0;
};

struct EvidenceReportResult
{
    QString path;  // where the report is; empty when it was not written
    QString error; // why not
};

// A self-contained HTML page (images inside it) beside an evidence clip: the span on the
// dashcam's clock, the source recordings with their SHA-256 and the clip's, a still of every
// camera at the strongest knock of the span (its start when there is none), the route as a
// drawing and as coordinates, the speed over time and the G-sensor's peak. Written to
// `destination`, or the first free name beside it.
QCoro::Task<EvidenceReportResult> writeEvidenceReport(const ToolSet &tools, QString clip,
                                                      QList<EvidenceSource> sources,
                                                      QString destination);

// The SHA-256 of a file as 64 lower-case hex digits; empty when it cannot be read.
QString fileSha256(const QString &path);

} // namespace korvane
