#pragma once

#include "records/mediarecords.h"

#include <QObject>
#include <QString>

#include <optional>

namespace korvane {

// The metadata of the recording open in the player: its channel table, and its GPS fixes and
// G-sensor samples stretched onto the player's time axis (seconds from the start of the video):
// the first record at 0, the last at the end; fixes one per whole second, samples every 0.1 s.
class MediaDataViewModel : public QObject
{
    Q_OBJECT
    // A change stamp, set at every reset and at the end of every complete load: views watch it
    // to rebuild what they draw from the series.
    Q_PROPERTY(double id READ id NOTIFY idChanged)

public:
    explicit MediaDataViewModel(QObject *parent = nullptr);

    double id() const { return m_id; }
    const QList<MediaData> &events() const { return m_events; }
    const std::optional<VideoInfo> &videoInfo() const { return m_videoInfo; }
    const QList<GPSInfo> &gpsEvents() const { return m_gpsEvents; }
    const QList<GSensorInfo> &gSensorEvents() const { return m_gSensorEvents; }

    void reset();
    // Loads the extracted records (their JSON text) for a video of `duration` seconds; a
    // duration that is not a finite number at or above 0 counts as 0. Returns why it could not
    // when the text does not decode; the model then stays as it was.
    [[nodiscard]] std::optional<QString> load(const QString &json, double duration);

    // The fix or sample for a player time: the last one at or before it.
    std::optional<GPSInfo> gpsAt(double time) const;
    std::optional<GSensorInfo> gSensorAt(double time) const;

    // The exports' texts, "location.txt" and "gsensor.txt".
    QString locationText() const;
    QString gSensorText() const;

    // The monotonic clock the change stamp is taken from, in seconds.
    static double currentMediaTime();

signals:
    void idChanged();

private:
    // Each fix's decoded data, its local time text and its place on the receiver's clock
    // (`elapse`, seconds from the series' first record); a record without a time gets none.
    static void clockGps(QList<GPSInfo> &fixes);
    void placeGpsOnVideo(double duration);
    void placeGSensorOnVideo(double duration);
    void stamp();

    double m_id;
    QList<MediaData> m_events;
    std::optional<VideoInfo> m_videoInfo;
    QList<GPSInfo> m_gpsEvents;
    QList<GSensorInfo> m_gSensorEvents;
};

} // namespace korvane
