// The one page that goes with an evidence clip: what it shows, where it came from, and the
// hashes that tell the clip and its recordings were not changed since.
#include "services/evidencereport.h"

#include "base/applog.h"
#include "base/background.h"
#include "card/savedfiles.h"
#include "card/shell.h"
#include "card/shellquote.h"
#include "card/workingfolder.h"
#include "records/drives.h"
#include "records/metadataextraction.h"
#include "records/mp4tracks.h"
#include "services/mediadataviewmodel.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <utility>

namespace korvane {

namespace {

struct Fix
{
    QDateTime at;
    double clipSecond = 0;
    double latitude = 0;
    double longitude = 0;
    double speedKmh = 0;
};

struct Knock
{
    QDateTime at;
    double clipSecond = 0;
    AccelData accel;
    double strength = -1;
};

// What the records of the sources tell within the clip.
struct SpanRecords
{
    QList<Fix> fixes;
    Knock peak;
};

SpanRecords spanRecords(const QList<EvidenceSource> &sources)
{
    SpanRecords span;
    double clipStart = 0; // where each source's part begins in the clip
    for (const EvidenceSource &source : sources) {
        const std::vector<double> lengths = videoTrackDurations(source.playable);
        MediaDataViewModel placed;
        const bool loaded =
            !placed.load(QString::fromUtf8(mediaRecordsJson(extractMediaRecords(source.copy))),
                         lengths.empty() ? 0 : lengths.front());
        const auto within = [&](double second) {
            return second >= source.from && second < source.to;
        };
        const auto moment = [&](double second) {
            return source.start.addMSecs(qRound64(second * 1000));
        };
        for (const GPSInfo &gps : loaded ? placed.gpsEvents() : QList<GPSInfo>{}) {
            const double second = gps.elapse.value_or(-1);
            if (gps.data && within(second))
                span.fixes.append({moment(second), clipStart + second - source.from,
                                   gps.data->latitude, gps.data->longitude, gps.data->speedKmh});
        }
        for (const GSensorInfo &sample : loaded ? placed.gSensorEvents() : QList<GSensorInfo>{}) {
            const double second = sample.elapse.value_or(-1);
            const double strength = std::hypot(sample.accel.x, sample.accel.y, sample.accel.z);
            if (within(second) && strength > span.peak.strength)
                span.peak = {moment(second), clipStart + second - source.from, sample.accel,
                             strength};
        }
        clipStart += source.to - source.from;
    }
    return span;
}

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

// The dashcam's clock at a moment; a recording whose name tells no time has none.
QString clockText(const QDateTime &moment)
{
    return moment.isValid() ? driveTimeText(moment) : QStringLiteral("(시각 모름)");
}

QString clipClock(double seconds)
{
    const auto tenths = static_cast<qint64>(std::llround(std::max(0.0, seconds) * 10));
    return QStringLiteral("%1:%2.%3")
        .arg(tenths / 600, 2, 10, QLatin1Char('0'))
        .arg(tenths / 10 % 60, 2, 10, QLatin1Char('0'))
        .arg(tenths % 10);
}

// The route drawn as a line in a box, north up, the start green and the end red.
QString routeDrawing(const QList<Fix> &fixes)
{
    if (fixes.isEmpty())
        return QStringLiteral("<p>이 구간에는 GPS 기록이 없습니다.</p>");
    double west = fixes.first().longitude, east = west;
    double south = fixes.first().latitude, north = south;
    for (const Fix &fix : fixes) {
        west = std::min(west, fix.longitude);
        east = std::max(east, fix.longitude);
        south = std::min(south, fix.latitude);
        north = std::max(north, fix.latitude);
    }
    // A degree of longitude is shorter away from the equator.
    const double squeeze = std::cos((south + north) / 2 * M_PI / 180);
    const double span = std::max({(east - west) * squeeze, north - south, 1e-6});
    constexpr double size = 300;
    constexpr double margin = 10;
    const auto x = [&](const Fix &f) {
        return margin + (f.longitude - west) * squeeze / span * size;
    };
    const auto y = [&](const Fix &f) { return margin + (north - f.latitude) / span * size; };
    QString points;
    for (const Fix &fix : fixes)
        points += QStringLiteral("%1,%2 ").arg(x(fix), 0, 'f', 1).arg(y(fix), 0, 'f', 1);
    return QStringLiteral(
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"320\" height=\"320\" "
               "class=\"route\"><polyline points=\"%1\" fill=\"none\" stroke=\"#1565c0\" "
               "stroke-width=\"3\"/><circle cx=\"%2\" cy=\"%3\" r=\"5\" fill=\"green\"/>"
               "<circle cx=\"%4\" cy=\"%5\" r=\"5\" fill=\"red\"/></svg>")
        .arg(points.trimmed())
        .arg(x(fixes.first()), 0, 'f', 1)
        .arg(y(fixes.first()), 0, 'f', 1)
        .arg(x(fixes.last()), 0, 'f', 1)
        .arg(y(fixes.last()), 0, 'f', 1);
}

// Speed over the clip's seconds as a line.
QString speedDrawing(const QList<Fix> &fixes, double clipSeconds)
{
    if (fixes.isEmpty())
        return {};
    double fastest = 10;
    for (const Fix &fix : fixes)
        fastest = std::max(fastest, fix.speedKmh);
    constexpr double width = 480;
    constexpr double height = 120;
    QString points;
    for (const Fix &fix : fixes)
        points += QStringLiteral("%1,%2 ")
                      .arg(fix.clipSecond / std::max(clipSeconds, 1.0) * width, 0, 'f', 1)
                      .arg(height - fix.speedKmh / fastest * height, 0, 'f', 1);
    return QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\" "
                          "class=\"speed\"><rect width=\"%1\" height=\"%2\" fill=\"#f4f4f4\"/>"
                          "<polyline points=\"%3\" fill=\"none\" stroke=\"#c62828\" "
                          "stroke-width=\"2\"/><text x=\"4\" y=\"14\" font-size=\"12\">%4 km/h"
                          "</text></svg>")
        .arg(width)
        .arg(height)
        .arg(points.trimmed())
        .arg(fastest, 0, 'f', 0);
}

QString page(const QString &clip, const QString &clipHash, const QList<EvidenceSource> &sources,
             const QStringList &sourceHashes, const QList<std::pair<int, QByteArray>> &stills,
             const QDateTime &stillAt, const SpanRecords &records)
{
    double seconds = 0;
    for (const EvidenceSource &source : sources)
        seconds += source.to - source.from;
    const QDateTime from = sources.first().start.addMSecs(qRound64(sources.first().from * 1000));
    const QDateTime to = sources.last().start.addMSecs(qRound64(sources.last().to * 1000));
    QString html = QStringLiteral(
        "<!DOCTYPE html>\n<html lang=\"ko\"><head><meta charset=\"utf-8\">"
        "<title>증거 영상 보고서</title><style>body{font-family:sans-serif;margin:24px;}"
        "table{border-collapse:collapse;}td,th{border:1px solid #999;padding:3px 8px;"
        "text-align:left;}code{font-size:12px;}img{max-width:460px;margin:4px;}</style></head>"
        "<body>\n<h1>증거 영상 보고서</h1>\n");
    html += QStringLiteral("<p>구간 (블랙박스 시각): <b class=\"span\">%1 – %2</b> (%3초)</p>\n")
                .arg(clockText(from), clockText(to))
                .arg(seconds, 0, 'f', 1);
    html += QStringLiteral("<h2>파일과 SHA-256</h2>\n<table>\n<tr><th>파일</th><th>구간</th>"
                           "<th>SHA-256</th></tr>\n");
    html += QStringLiteral("<tr><td>%1 (증거 영상)</td><td>00:00.0 – %2</td>"
                           "<td><code class=\"sha256\" data-file=\"%1\">%3</code></td></tr>\n")
                .arg(escaped(QFileInfo(clip).fileName()), clipClock(seconds), clipHash);
    for (qsizetype i = 0; i < sources.size(); ++i) {
        const EvidenceSource &source = sources[i];
        html +=
            QStringLiteral("<tr><td>%1</td><td>%2 – %3</td>"
                           "<td><code class=\"sha256\" data-file=\"%1\">%4</code></td></tr>\n")
                .arg(escaped(source.name),
                     clockText(source.start.addMSecs(qRound64(source.from * 1000))),
                     clockText(source.start.addMSecs(qRound64(source.to * 1000))), sourceHashes[i]);
    }
    html += QStringLiteral("</table>\n<h2>카메라별 화면 (%1)</h2>\n<p>").arg(clockText(stillAt));
    for (const auto &[camera, png] : stills)
        html +=
            QStringLiteral("<img class=\"still\" alt=\"채널%1\" src=\"data:image/png;base64,%2\">")
                .arg(camera + 1)
                .arg(QString::fromLatin1(png.toBase64()));
    html += QStringLiteral("</p>\n<h2>G-센서 최대값</h2>\n");
    html += records.peak.strength < 0
                ? QStringLiteral("<p>이 구간에는 G-센서 기록이 없습니다.</p>\n")
                : QStringLiteral("<p class=\"gpeak\">%1 (영상 %2): x %3, y %4, z %5</p>\n")
                      .arg(clockText(records.peak.at), clipClock(records.peak.clipSecond))
                      .arg(records.peak.accel.x)
                      .arg(records.peak.accel.y)
                      .arg(records.peak.accel.z);
    html += QStringLiteral("<h2>경로와 속도</h2>\n") + routeDrawing(records.fixes) +
            speedDrawing(records.fixes, seconds) + QLatin1Char('\n');
    if (!records.fixes.isEmpty()) {
        html +=
            QStringLiteral("<table class=\"fixes\">\n<tr><th>시각</th><th>영상</th><th>위도</th>"
                           "<th>경도</th><th>속도</th></tr>\n");
        for (const Fix &fix : records.fixes)
            html += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td>"
                                   "<td>%5 km/h</td></tr>\n")
                        .arg(clockText(fix.at), clipClock(fix.clipSecond))
                        .arg(fix.latitude, 0, 'f', 6)
                        .arg(fix.longitude, 0, 'f', 6)
                        .arg(fix.speedKmh, 0, 'f', 0);
        html += QStringLiteral("</table>\n");
    }
    return html + QStringLiteral("</body></html>\n");
}

} // namespace

QString fileSha256(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return QString::fromLatin1(hash.result().toHex());
}

QCoro::Task<EvidenceReportResult> writeEvidenceReport(const ToolSet &tools, QString clip,
                                                      QList<EvidenceSource> sources,
                                                      QString destination)
{
    EvidenceReportResult result;
    if (sources.isEmpty()) {
        result.error = QStringLiteral("no recording to report");
        co_return result;
    }
    const QString folder = WorkingFolder::workFolder(QStringLiteral("report-") +
                                                     QUuid::createUuid().toString(QUuid::Id128));
    if (folder.isEmpty()) {
        result.error = QStringLiteral("cannot make a report folder");
        co_return result;
    }
    struct Read
    {
        QString clipHash;
        QStringList sourceHashes;
        SpanRecords records;
    };
    QCoro::Task<Read> reading = inBackground([clip, sources] {
        Read read{fileSha256(clip), {}, spanRecords(sources)};
        for (const EvidenceSource &source : sources)
            read.sourceHashes.append(fileSha256(source.copy));
        return read;
    });
    const Read read = co_await reading;

    // The stills are taken where the span was knocked hardest, else at its start.
    qsizetype holder = 0;
    double second = sources.first().from;
    if (read.records.peak.strength >= 0) {
        double clipStart = 0;
        for (qsizetype i = 0; i < sources.size(); ++i) {
            const double length = sources[i].to - sources[i].from;
            if (read.records.peak.clipSecond < clipStart + length) {
                holder = i;
                second = sources[i].from + read.records.peak.clipSecond - clipStart;
                break;
            }
            clipStart += length;
        }
    }
    const EvidenceSource &shown = sources[holder];
    QList<std::pair<int, QByteArray>> stills; // by camera, those ffmpeg could take
    const int cameras = static_cast<int>(videoTrackDurations(shown.playable).size());
    for (int c = 0; c < cameras; ++c) {
        const QString still = folder + QStringLiteral("still-%1.png").arg(c);
        const int status = co_await Shell::runAsync(
            shellQuoted(tools.helperRoot() + QStringLiteral("ffmpeg")) +
                QStringLiteral(" -nostdin -v error -y -ss %1 -i %2 -map 0:v:%3 -frames:v 1 "
                               "-vf %4 -f image2 -c:v png %5")
                    .arg(QString::number(second, 'f', 6), shellQuoted(shown.playable))
                    .arg(c)
                    .arg(shellQuoted(QStringLiteral("scale=w='min(iw,960)':h=-2")),
                         shellQuoted(still)),
            [](const QString &) {});
        QFile file(still);
        if (status == 0 && file.open(QIODevice::ReadOnly))
            stills.append({c, file.readAll()});
    }
    const QString html = page(clip, read.clipHash, sources, read.sourceHashes, stills,
                              shown.start.addMSecs(qRound64(second * 1000)), read.records);
    const QString made = folder + QStringLiteral("report.html");
    QSaveFile file(made);
    if (!file.open(QIODevice::WriteOnly) || file.write(html.toUtf8()) < 0 || !file.commit()) {
        result.error = file.errorString();
        WorkingFolder::deleteDirectory(folder);
        co_return result;
    }
    const SavedFile saved = co_await saveNewFile(made, destination, Transfer::move);
    WorkingFolder::deleteDirectory(folder);
    result.path = saved.path;
    result.error = saved.error;
    if (result.path.isEmpty())
        appLog(logCard, "[EvidenceReport]", destination, "not written:", saved.error);
    co_return result;
}

} // namespace korvane
