#include "card/diskproperties.h"

#include "base/cardreader.h"

#include <libudev.h>

namespace korvane {

bool isSdCard(const DiskProperties &disk)
{
    if (!disk.wholeDisk)
        return false;
    if (disk.onMmcBus)
        return disk.mmcType == u"SD";
    return disk.removable && identifiesAsCardReader(disk.model.toStdString(), disk.driveProperties);
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
    udev_list_entry *property = nullptr;
    udev_list_entry_foreach(property, udev_device_get_properties_list_entry(device))
    {
        const std::string name = udev_list_entry_get_name(property);
        const char *value = udev_list_entry_get_value(property);
        if (name.rfind("ID_DRIVE_", 0) == 0 && value)
            disk.driveProperties[name] = value;
    }
    return disk;
}

} // namespace korvane
