#include "records/mediarecords.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace korvane {

namespace {

struct DecodeError
{
    QString message;
};

// Reads typed values out of one JSON object; a missing required key or a value of the wrong
// kind ends the whole decoding with a message that names the key.
class ObjectReader
{
public:
    ObjectReader(const QJsonObject &object, QString where)
        : m_object(object), m_where(std::move(where))
    {
    }

    QString text(const QString &key) const
    {
        const QJsonValue value = required(key);
        if (!value.isString())
            fail(key, QStringLiteral("is not text"));
        return value.toString();
    }

    int integer(const QString &key) const { return toInteger(key, required(key)); }

    double real(const QString &key) const { return toReal(key, required(key)); }

    QJsonObject object(const QString &key) const
    {
        const QJsonValue value = required(key);
        if (!value.isObject())
            fail(key, QStringLiteral("is not an object"));
        return value.toObject();
    }

    QJsonArray array(const QString &key) const
    {
        const QJsonValue value = required(key);
        if (!value.isArray())
            fail(key, QStringLiteral("is not an array"));
        return value.toArray();
    }

    std::optional<QString> optionalText(const QString &key) const
    {
        if (!present(key))
            return std::nullopt;
        return text(key);
    }

    std::optional<double> optionalReal(const QString &key) const
    {
        if (!present(key))
            return std::nullopt;
        return real(key);
    }

    std::optional<QJsonObject> optionalObject(const QString &key) const
    {
        if (!present(key))
            return std::nullopt;
        return object(key);
    }

    QString where(const QString &key) const { return m_where + QLatin1Char('.') + key; }

    [[noreturn]] void fail(const QString &key, const QString &problem) const
    {
        throw DecodeError{QStringLiteral("%1 %2").arg(where(key), problem)};
    }

private:
    // An explicit null counts as absent, as for any optional value in JSON.
    bool present(const QString &key) const
    {
        const auto it = m_object.constFind(key);
        return it != m_object.constEnd() && !it->isNull();
    }

    QJsonValue required(const QString &key) const
    {
        const auto it = m_object.constFind(key);
        if (it == m_object.constEnd())
            fail(key, QStringLiteral("is missing"));
        return *it;
    }

    int toInteger(const QString &key, const QJsonValue &value) const
    {
        const double number = value.toDouble(std::numeric_limits<double>::quiet_NaN());
        if (!value.isDouble() || std::trunc(number) != number ||
            number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
            fail(key, QStringLiteral("is not an integer"));
        return static_cast<int>(number);
    }

    double toReal(const QString &key, const QJsonValue &value) const
    {
        if (!value.isDouble())
            fail(key, QStringLiteral("is not a number"));
        return value.toDouble();
    }

    QJsonObject m_object;
    QString m_where;
};

VideoChannel decodeVideoChannel(const QJsonValue &value, const QString &where)
{
    if (!value.isObject())
        throw DecodeError{where + QStringLiteral(" is not an object")};
    const ObjectReader reader(value.toObject(), where);
    return {reader.integer(QStringLiteral("width")), reader.integer(QStringLiteral("height")),
            reader.integer(QStringLiteral("fps"))};
}

VideoInfo decodeVideoInfo(const ObjectReader &reader)
{
    VideoInfo info;
    info.type = reader.text(QStringLiteral("type"));
    info.channelCount = reader.integer(QStringLiteral("channelCount"));
    const QJsonArray channels = reader.array(QStringLiteral("channels"));
    for (qsizetype i = 0; i < channels.size(); ++i) {
        const QString where = reader.where(QStringLiteral("channels[%1]").arg(i));
        info.channels.append(decodeVideoChannel(channels.at(i), where));
    }
    return info;
}

GPRMC decodeGPRMC(const QJsonObject &object, const QString &where)
{
    const ObjectReader reader(object, where);
    GPRMC rmc;
    rmc.timeUTC = reader.text(QStringLiteral("timeUTC"));
    rmc.date = reader.text(QStringLiteral("date"));
    rmc.latitude = reader.real(QStringLiteral("latitude"));
    rmc.longitude = reader.real(QStringLiteral("longitude"));
    rmc.speedKmh = reader.real(QStringLiteral("speedKmh"));
    rmc.course = reader.optionalReal(QStringLiteral("course"));
    return rmc;
}

GPSInfo decodeGPSInfo(const ObjectReader &reader)
{
    GPSInfo info;
    info.type = reader.text(QStringLiteral("type"));
    info.nmea = reader.text(QStringLiteral("nmea"));
    if (const auto data = reader.optionalObject(QStringLiteral("data")))
        info.data = decodeGPRMC(*data, reader.where(QStringLiteral("data")));
    info.timestamp = reader.optionalText(QStringLiteral("timestamp"));
    info.elapse = reader.optionalReal(QStringLiteral("elapse"));
    return info;
}

GSensorInfo decodeGSensorInfo(const ObjectReader &reader)
{
    GSensorInfo info;
    info.type = reader.text(QStringLiteral("type"));
    info.timestamp = reader.text(QStringLiteral("timestamp"));
    const ObjectReader accel(reader.object(QStringLiteral("accel")),
                             reader.where(QStringLiteral("accel")));
    info.accel = {accel.integer(QStringLiteral("x")), accel.integer(QStringLiteral("y")),
                  accel.integer(QStringLiteral("z"))};
    info.elapse = reader.optionalReal(QStringLiteral("elapse"));
    return info;
}

MediaData decodeElement(const QJsonValue &value, qsizetype index)
{
    const QString where = QStringLiteral("element %1").arg(index);
    if (!value.isObject())
        throw DecodeError{where + QStringLiteral(" is not an object")};
    const ObjectReader reader(value.toObject(), where);
    const QString typeText = reader.text(QStringLiteral("type"));
    const auto type = mediaDataTypeFromRawValue(typeText);
    if (!type)
        reader.fail(QStringLiteral("type"),
                    QStringLiteral("has the unknown value \"%1\"").arg(typeText));

    MediaData record;
    record.id = QUuid::createUuid();
    record.type = *type;
    switch (*type) {
    case MediaDataType::videoInfo:
        record.videoInfo = decodeVideoInfo(reader);
        break;
    case MediaDataType::gpsInfo:
        record.gpsInfo = decodeGPSInfo(reader);
        break;
    case MediaDataType::gSensor:
        record.gSensorInfo = decodeGSensorInfo(reader);
        break;
    }
    return record;
}

} // namespace

std::optional<MediaDataType> mediaDataTypeFromRawValue(QStringView rawValue)
{
    if (rawValue == u"video_info")
        return MediaDataType::videoInfo;
    if (rawValue == u"gps_info")
        return MediaDataType::gpsInfo;
    if (rawValue == u"gsensor_info")
        return MediaDataType::gSensor;
    return std::nullopt;
}

QString rawValue(MediaDataType type)
{
    switch (type) {
    case MediaDataType::videoInfo:
        return QStringLiteral("video_info");
    case MediaDataType::gpsInfo:
        return QStringLiteral("gps_info");
    case MediaDataType::gSensor:
        return QStringLiteral("gsensor_info");
    }
    Q_UNREACHABLE();
}

MediaDataDecoding decodeMediaData(const QByteArray &json)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return {std::nullopt, parseError.errorString()};
    if (!document.isArray())
        return {std::nullopt, QStringLiteral("the records are not a JSON array")};

    const QJsonArray array = document.array();
    QList<MediaData> records;
    records.reserve(array.size());
    try {
        for (qsizetype i = 0; i < array.size(); ++i)
            records.append(decodeElement(array.at(i), i));
    } catch (const DecodeError &error) {
        return {std::nullopt, error.message};
    }
    return {records, {}};
}

} // namespace korvane
