#include "records/gpxtrack.h"

#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace korvane;

namespace {
QJsonObject gps(const char *sentence)
{
    return {{QStringLiteral("type"), QStringLiteral("gps_info")},
            {QStringLiteral("nmea"), QLatin1String(sentence)}};
}

struct Point
{
    double lat;
    double lon;
    QString time;
    double speed;
};

QList<Point> points(const QByteArray &gpx, QString *name)
{
    QList<Point> out;
    QXmlStreamReader xml(gpx);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"name") {
            *name = xml.readElementText();
        } else if (xml.name() == u"trkpt") {
            out.append({xml.attributes().value(QLatin1String("lat")).toDouble(),
                        xml.attributes().value(QLatin1String("lon")).toDouble(),
                        {},
                        -1});
        } else if (xml.name() == u"time") {
            out.last().time = xml.readElementText();
        } else if (xml.name() == u"speed") {
            out.last().speed = xml.readElementText().toDouble();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return out;
}
} // namespace

TEST(GpxTrack, ValidFixesBecomeTrackPoints)
{
    const MediaRecords records{
        gps("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A"),
        gps("$GPRMC,123520,V,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A"),
        {{QStringLiteral("type"), QStringLiteral("gsensor_info")}},
        gps("$GPRMC,123521,A,3352.128,S,15112.558,W,0.0,0.0,320394,,*19"),
        // The checksum of the first sentence, a second later: one digit changed, no point.
        gps("$GPRMC,123522,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A"),
    };
    QString name;
    const QList<Point> track = points(gpxTrack(records, QStringLiteral("a<b>&\"c\".mp4")), &name);
    EXPECT_EQ(name, QLatin1String("a<b>&\"c\".mp4"));
    ASSERT_EQ(track.size(), 2);
    EXPECT_NEAR(track[0].lat, 48.1173, 1e-6);
    EXPECT_NEAR(track[0].lon, 11.5166667, 1e-6);
    EXPECT_EQ(track[0].time, QLatin1String("2094-03-23T12:35:19Z"));
    EXPECT_NEAR(track[0].speed, 22.4 * 1.852 / 3.6, 1e-3);
    EXPECT_NEAR(track[1].lat, -33.8688, 1e-6);
    EXPECT_TRUE(track[1].time.isEmpty()) << "32 March has no time";
}
