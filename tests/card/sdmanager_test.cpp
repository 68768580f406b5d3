#include "qtprinters.h"
#include "card/sdmanager.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace korvane;

namespace {

// Property sets as udev reports them for real devices (ID_MODEL or device/model, the removable
// attribute, the parent bus, the size).
const DiskProperties usbSdReader{"sdb", true, true, false, true, "USB3.0_CRW_-SD", ""};
const DiskProperties emptyReader{"sdb", true, true, false, false, "USB3.0_CRW_-SD", ""};
const DiskProperties builtInSlot{"mmcblk0", true, false, true, true, "Unknown", "SD"};
const DiskProperties builtInEmmc{"mmcblk1", true, false, true, true, "Unknown", "MMC"};
const DiskProperties usbStick{"sdd", true, true, false, true, "Cruzer_Blade", ""};
const DiskProperties fixedDisk{"nvme0n1", true, false, false, true, "Samsung SSD 970 EVO Plus 1TB",
                               ""};
const DiskProperties readerPartition{"sdb1", false, true, false, true, "USB3.0_CRW_-SD", ""};

} // namespace

TEST(SdCardRule, ReadersAndSlotsAreCardsSticksDisksAndPartitionsAreNot)
{
    EXPECT_TRUE(isSdCard(usbSdReader));
    EXPECT_TRUE(isSdCard(builtInSlot));
    EXPECT_FALSE(isSdCard(builtInEmmc)) << "built-in storage on the mmc bus is no card";
    EXPECT_FALSE(isSdCard(usbStick));
    EXPECT_FALSE(isSdCard(fixedDisk));
    EXPECT_FALSE(isSdCard(readerPartition));
    EXPECT_FALSE(isSdCard({"sdf", true, false, false, true, "SD Reader", ""})) << "not removable";
}

// A removable USB disk is read as a card only when it says it is a card reader: by udev's
// flash-card flags, or by a model naming the card as a word of its own.
TEST(AccessCardRule, UsbDisksAreCardsOnlyWhenTheyIdentifyAsCardReaders)
{
    const auto usbDisk = [](const char *model, std::map<std::string, std::string> flags = {}) {
        DiskProperties disk{"sdc", true, true, false, true, QString::fromUtf8(model), ""};
        disk.driveProperties = std::move(flags);
        return disk;
    };
    for (const char *reader :
         {"SDXC Reader", "Card Reader", "Card_Reader", "USB3.0 Card Reader", "Generic-_SD/MMC",
          "MicroSD/M2", "USB3.0-CRW", "Multi-Reader  -SDHC", "CardReader SD0"})
        EXPECT_TRUE(isSdCard(usbDisk(reader))) << reader;
    for (const char *disk :
         {"Mass Storage Device", "USB Storage", "Portable SSD", "STORAGE DEVICE", "Extreme SSD",
          "SanDisk 3.2Gen1", "Flash Disk", "Ultra Fit", "ASDF", "Card", "Reader", "Unknown"})
        EXPECT_FALSE(isSdCard(usbDisk(disk))) << disk;
    // A reader udev's rules know by its USB identity, whatever its model says.
    EXPECT_TRUE(isSdCard(usbDisk("STORAGE DEVICE", {{"ID_DRIVE_FLASH_SD", "1"}})));
    EXPECT_TRUE(isSdCard(usbDisk("Mass Storage Device", {{"ID_DRIVE_MEDIA_FLASH_SD", "1"}})));
    EXPECT_FALSE(isSdCard(usbDisk("Mass Storage Device", {{"ID_DRIVE_FLASH_SD", "0"}})));
    EXPECT_FALSE(isSdCard(usbDisk("USB Storage", {{"ID_DRIVE_FLASH_CF", "1"}})));
}

TEST(SDManager, CardArrivesOnceAndLeavesOnlyWithItsOwnRemoval)
{
    SDManager manager;
    QSignalSpy detected(&manager, &SDManager::detectedDiskChanged);
    EXPECT_TRUE(manager.detectedDisk().isNull());
    EXPECT_TRUE(manager.rawDevicePath().isNull());

    manager.handleDiskEvent(QStringLiteral("add"), usbStick);
    manager.handleDiskEvent(QStringLiteral("add"), readerPartition);
    EXPECT_EQ(detected.count(), 0);

    manager.handleDiskEvent(QStringLiteral("add"), usbSdReader);
    EXPECT_EQ(manager.detectedDisk(), QStringLiteral("/dev/sdb"));
    EXPECT_EQ(manager.rawDevicePath(), QStringLiteral("/dev/sdb"));
    manager.handleDiskEvent(QStringLiteral("change"), usbSdReader);
    EXPECT_EQ(detected.count(), 1) << "the same card again changes nothing";

    // Another disk leaving says nothing about the card.
    manager.handleDiskEvent(QStringLiteral("remove"), usbStick);
    EXPECT_EQ(manager.detectedDisk(), QStringLiteral("/dev/sdb"));

    manager.handleDiskEvent(QStringLiteral("remove"), usbSdReader);
    EXPECT_EQ(manager.detectedDisk(), QStringLiteral(""));
    EXPECT_FALSE(manager.detectedDisk().isNull());
    EXPECT_TRUE(manager.rawDevicePath().isNull());
    EXPECT_EQ(detected.count(), 2);

    manager.handleDiskEvent(QStringLiteral("add"), builtInSlot);
    EXPECT_EQ(manager.detectedDisk(), QStringLiteral("/dev/mmcblk0"));
}

TEST(SDManager, ReaderLosingItsCardIsARemoval)
{
    SDManager manager;
    manager.handleDiskEvent(QStringLiteral("add"), emptyReader);
    EXPECT_TRUE(manager.detectedDisk().isNull()) << "a reader without a card is no card";
    manager.handleDiskEvent(QStringLiteral("change"), usbSdReader);
    EXPECT_EQ(manager.detectedDisk(), QStringLiteral("/dev/sdb"));
    manager.handleDiskEvent(QStringLiteral("change"), emptyReader);
    EXPECT_EQ(manager.detectedDisk(), QStringLiteral(""));
    EXPECT_TRUE(manager.rawDevicePath().isNull());
}

TEST(SDManager, CardImageComesAndGoesWithItsFile)
{
    QTemporaryDir folder;
    const QString image = folder.filePath(QStringLiteral("card.img"));
    QFile(image).open(QIODevice::WriteOnly);
    SDManager manager;
    QSignalSpy raw(&manager, &SDManager::rawDevicePathChanged);
    manager.useCardImage(image);
    manager.startMonitoring();
    EXPECT_EQ(manager.detectedDisk(), image);
    EXPECT_EQ(manager.rawDevicePath(), image);
    EXPECT_EQ(raw.count(), 1);

    // Taken away: the card is out; back: it is in again.
    const QString aside = folder.filePath(QStringLiteral("aside.img"));
    ASSERT_TRUE(QFile::rename(image, aside));
    ASSERT_TRUE(QTest::qWaitFor([&] { return manager.detectedDisk() == u""; }, 5000));
    EXPECT_TRUE(manager.rawDevicePath().isNull());
    ASSERT_TRUE(QFile::rename(aside, image));
    ASSERT_TRUE(QTest::qWaitFor([&] { return manager.detectedDisk() == image; }, 5000));
    EXPECT_EQ(manager.rawDevicePath(), image);
}

TEST(SDManager, WatchesThisMachinesDisksWithoutTakingAFixedDiskForACard)
{
    SDManager manager;
    manager.startMonitoring();
    QCoreApplication::processEvents();
    // The machine's own disks are fixed: none of them may become the card.
    EXPECT_TRUE(manager.detectedDisk().isNull()) << manager.detectedDisk().toStdString();
}
