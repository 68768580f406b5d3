#include "gpxtrack.h"

#include "nmea.h"

#include <QXmlStreamWriter>

namespace korvane {

namespace {
const QString gpxNamespace = QStringLiteral("http://www.topografix.com/GPX/1/1");
const QString extensionNamespace =
    QStringLiteral("http://www.garmin.com/xmlschemas/TrackPointExtension/v2");

QString isoTime(const QString &utcTimestamp)
{
    QString text = utcTimestamp;
    text[10] = QLatin1Char('T');
    return text + QLatin1Char('Z');
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
    xml.writeTextElement(gpxNamespace, QStringLiteral("name"), trackName);
    xml.writeStartElement(gpxNamespace, QStringLiteral("trkseg"));

    for (const auto &[sentence, fix] : trackPoints(records)) {
        xml.writeStartElement(gpxNamespace, QStringLiteral("trkpt"));
        xml.writeAttribute(QStringLiteral("lat"), QString::number(fix.latitude, 'f', 7));
        xml.writeAttribute(QStringLiteral("lon"), QString::number(fix.longitude, 'f', 7));
        if (const auto time = rmcTimestamp(sentence, false))
            xml.writeTextElement(gpxNamespace, QStringLiteral("time"), isoTime(*time));
        xml.writeStartElement(gpxNamespace, QStringLiteral("extensions"));
        xml.writeStartElement(extensionNamespace, QStringLiteral("TrackPointExtension"));
        xml.writeTextElement(extensionNamespace, QStringLiteral("speed"),
                             QString::number(fix.speedKmh / 3.6, 'f', 3));
        xml.writeTextElement(extensionNamespace, QStringLiteral("course"),
                             QString::number(fix.course, 'f', 1));
        xml.writeEndElement();
        xml.writeEndElement();
        xml.writeEndElement();
    }

    xml.writeEndDocument();
    return gpx;
}

} // namespace korvane
