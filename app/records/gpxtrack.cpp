#include "records/gpxtrack.h"

#include "records/nmea.h"

#include <QXmlStreamWriter>

#include <cmath>

namespace korvane {

namespace {
const QString gpxNamespace = QStringLiteral("http://www.topografix.com/GPX/1/1");
const QString extensionNamespace =
    QStringLiteral("http://www.garmin.com/xmlschemas/TrackPointExtension/v2");

// Text as XML 1.0 can hold it: characters it has no place for (controls, lone surrogates,
// U+FFFE and U+FFFF) become U+FFFD. A track is named after a file, and a file may be named
// anything.
QString xmlText(const QString &text)
{
    QString held;
    for (const char32_t c : text.toUcs4()) {
        const bool allowed = c == 0x9 || c == 0xa || c == 0xd || (c >= 0x20 && c <= 0xd7ff) ||
                             (c >= 0xe000 && c <= 0xfffd) || (c >= 0x10000 && c <= 0x10ffff);
        const char32_t kept = allowed ? c : 0xfffd;
        held += QString::fromUcs4(&kept, 1);
    }
    return held;
}

// `value` rounded to `decimals` as it will be written, and one full turn (360) less when that
// reaches `limit`: the schema's ranges end below it.
double belowFullTurn(double value, int decimals, double limit)
{
    const double scale = std::pow(10.0, decimals);
    const double written = std::round(value * scale) / scale;
    return written >= limit ? written - 360 : written;
}

struct TrackPoint
{
    QString sentence;
    GPRMC fix;
};

QList<TrackPoint> trackPoints(const MediaRecords &records)
{
    QList<TrackPoint> points;
    for (const QJsonObject &record : records) {
        if (record.value(QStringLiteral("type")).toString() != u"gps_info")
            continue;
        const QString sentence = record.value(QStringLiteral("nmea")).toString();
        if (const auto fix = decodeRMC(sentence))
            points.append({sentence, *fix});
    }
    return points;
}
} // namespace

qsizetype gpxPointCount(const MediaRecords &records)
{
    return trackPoints(records).size();
}

QByteArray gpxTrack(const MediaRecords &records, const QString &trackName)
{
    QByteArray gpx;
    QXmlStreamWriter xml(&gpx);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeDefaultNamespace(gpxNamespace);
    xml.writeNamespace(extensionNamespace, QStringLiteral("gpxtpx"));
    xml.writeStartElement(gpxNamespace, QStringLiteral("gpx"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
    xml.writeAttribute(QStringLiteral("creator"), QStringLiteral("Korvane"));
    xml.writeStartElement(gpxNamespace, QStringLiteral("trk"));
    xml.writeTextElement(gpxNamespace, QStringLiteral("name"), xmlText(trackName));
    xml.writeStartElement(gpxNamespace, QStringLiteral("trkseg"));

    for (const auto &[sentence, fix] : trackPoints(records)) {
        xml.writeStartElement(gpxNamespace, QStringLiteral("trkpt"));
        xml.writeAttribute(QStringLiteral("lat"), QString::number(fix.latitude, 'f', 7));
        // GPX counts longitudes from -180 up to, not including, 180, the same meridian: as
        // written, so that a longitude that rounds to 180 is one.
        xml.writeAttribute(QStringLiteral("lon"),
                           QString::number(belowFullTurn(fix.longitude, 7, 180), 'f', 7));
        if (const auto time = rmcTime(sentence))
            xml.writeTextElement(gpxNamespace, QStringLiteral("time"),
                                 time->toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'")));
        xml.writeStartElement(gpxNamespace, QStringLiteral("extensions"));
        xml.writeStartElement(extensionNamespace, QStringLiteral("TrackPointExtension"));
        xml.writeTextElement(extensionNamespace, QStringLiteral("speed"),
                             QString::number(fix.speedKmh / 3.6, 'f', 3));
        if (fix.course)
            xml.writeTextElement(extensionNamespace, QStringLiteral("course"),
                                 QString::number(belowFullTurn(*fix.course, 1, 360), 'f', 1));
        xml.writeEndElement();
        xml.writeEndElement();
        xml.writeEndElement();
    }

    xml.writeEndDocument();
    return gpx;
}

} // namespace korvane
