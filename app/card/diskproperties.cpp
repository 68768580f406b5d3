#include "diskproperties.h"

#include <libudev.h>

namespace korvane {

bool isSdCard(const DiskProperties &disk)
{
    if (!disk.wholeDisk)
        return false;
    if (disk.onMmcBus)
        return disk.mmcType == u"SD";
    const QString model = disk.model.toLower();
    return disk.removable &&
           (model.contains(QLatin1String("sd")) || model.contains(QLatin1String("storage")));
}

DiskProperties diskProperties(udev_device *device)
{
    const auto text = [](const char *value) {
        return value ? QString::fromUtf8(value).trimmed() : QString();
    };
    DiskProperties disk;
    disk.kernelName = text(udev_device_get_sysname(device));
    disk.wholeDisk = text(udev_device_get_devtype(device)) == u"disk";
    disk.removable = text(udev_device_get_sysattr_value(device, "removable")) == u"1";
    udev_device *mmc = udev_device_get_parent_with_subsystem_devtype(device, "mmc", nullptr);
    disk.onMmcBus = mmc != nullptr;
    if (mmc)
        disk.mmcType = text(udev_device_get_sysattr_value(mmc, "type"));
    disk.hasMedia = text(udev_device_get_sysattr_value(device, "size")).toULongLong() > 0;
    disk.model = text(udev_device_get_property_value(device, "ID_MODEL"));
    if (disk.model.isEmpty())
        disk.model = text(udev_device_get_sysattr_value(device, "device/model"));
    if (disk.model.isEmpty())
        disk.model = QStringLiteral("Unknown");
    return disk;
}

} // namespace korvane
