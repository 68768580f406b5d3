#pragma once

#include "card/diskproperties.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <memory>

struct udev;
struct udev_monitor;

namespace korvane {

// Notices a dashcam card arriving and leaving. `detectedDisk` is null until the first card,
// "/dev/<name>" while a card is in, and "" after it left; `rawDevicePath` is the device the card
// layer reads (the same device: Linux has no separate raw node), null when there is no card.
class SDManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString detectedDisk READ detectedDisk NOTIFY detectedDiskChanged)
    Q_PROPERTY(QString rawDevicePath READ rawDevicePath NOTIFY rawDevicePathChanged)

public:
    explicit SDManager(QObject *parent = nullptr);
    ~SDManager() override;

    QString detectedDisk() const { return m_detectedDisk; }
    QString rawDevicePath() const { return m_rawDevicePath; }

    // Instead of watching the disks, present a card image as the inserted card. The image comes
    // and goes with its file: taking the file away is taking the card out.
    void useCardImage(const QString &image);

    // Watches disk arrivals and removals, and reports a card that is already in.
    void startMonitoring();

    // One disk event ("add", "change" or "remove"), as the monitor delivers it.
    void handleDiskEvent(const QString &action, const DiskProperties &disk);

signals:
    void detectedDiskChanged();
    void rawDevicePathChanged();

private:
    void present(const QString &devicePath);
    void clear();
    void readMonitor();
    void checkCardImage();

    QString m_detectedDisk;
    QString m_rawDevicePath;
    QString m_cardImage;
    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<QFileSystemWatcher> m_imageWatcher;
};

} // namespace korvane
