#include "card/sdmanager.h"

#include "base/applog.h"

#include <QFileInfo>

#include <libudev.h>

namespace korvane {

SDManager::SDManager(QObject *parent) : QObject(parent) {}

SDManager::~SDManager()
{
    m_notifier.reset();
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

void SDManager::useCardImage(const QString &image)
{
    m_cardImage = image;
}

void SDManager::startMonitoring()
{
    appLog(logCard, "[SDManager] startMonitoring");
    if (!m_cardImage.isEmpty()) {
        // The folder is watched, not the file: a file watch ends when the file goes.
        m_imageWatcher = std::make_unique<QFileSystemWatcher>(
            QStringList{QFileInfo(m_cardImage).absolutePath()});
        connect(m_imageWatcher.get(), &QFileSystemWatcher::directoryChanged, this,
                &SDManager::checkCardImage);
        checkCardImage();
        return;
    }
    m_udev = udev_new();
    if (!m_udev)
        return;

    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (m_monitor &&
        udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "block", "disk") >= 0 &&
        udev_monitor_enable_receiving(m_monitor) >= 0) {
        m_notifier = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(m_monitor),
                                                       QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, &SDManager::readMonitor);
    } else {
        appLog(logCard, "[SDManager] disk events unavailable; only cards already in are seen");
    }

    // A card inserted before the viewer started counts as arriving now.
    udev_enumerate *enumerate = udev_enumerate_new(m_udev);
    udev_enumerate_add_match_subsystem(enumerate, "block");
    udev_enumerate_add_match_property(enumerate, "DEVTYPE", "disk");
    udev_enumerate_scan_devices(enumerate);
    udev_list_entry *entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate))
    {
        if (udev_device *device =
                udev_device_new_from_syspath(m_udev, udev_list_entry_get_name(entry))) {
            handleDiskEvent(QStringLiteral("add"), diskProperties(device));
            udev_device_unref(device);
        }
    }
    udev_enumerate_unref(enumerate);
}

void SDManager::readMonitor()
{
    while (udev_device *device = udev_monitor_receive_device(m_monitor)) {
        const char *action = udev_device_get_action(device);
        handleDiskEvent(QString::fromUtf8(action ? action : ""), diskProperties(device));
        udev_device_unref(device);
    }
}

void SDManager::handleDiskEvent(const QString &action, const DiskProperties &disk)
{
    const QString devicePath = QStringLiteral("/dev/") + disk.kernelName;
    // Only the card's own removal (or its reader losing the medium) ends it: another disk
    // leaving says nothing about the card.
    const bool isCurrentCard = !m_detectedDisk.isEmpty() && devicePath == m_detectedDisk;
    if (action == u"remove") {
        if (isCurrentCard)
            clear();
        return;
    }
    if (action != u"add" && action != u"change")
        return;
    if (!isSdCard(disk))
        return;
    if (!disk.hasMedia) {
        if (isCurrentCard)
            clear();
        return;
    }
    appLog(logCard, "[SDManager] DARegisterDiskAppearedCallback", devicePath, "true", "true",
           disk.model);
    present(devicePath);
}

void SDManager::checkCardImage()
{
    if (QFileInfo::exists(m_cardImage))
        present(m_cardImage);
    else if (!m_detectedDisk.isEmpty())
        clear();
}

void SDManager::present(const QString &devicePath)
{
    if (m_detectedDisk == devicePath)
        return;
    m_rawDevicePath = devicePath;
    emit rawDevicePathChanged();
    m_detectedDisk = devicePath;
    emit detectedDiskChanged();
}

void SDManager::clear()
{
    m_detectedDisk = QStringLiteral("");
    m_rawDevicePath = QString();
    emit rawDevicePathChanged();
    emit detectedDiskChanged();
}

} // namespace korvane
