#include "base/userdefaults.h"

#include <QSettings>

namespace korvane {

namespace {

const auto volumeKey = QStringLiteral("volume");
const auto lastVolumeKey = QStringLiteral("lastVolume");
const auto brightnessKey = QStringLiteral("brightness");
const auto mirrorKeyPrefix = QStringLiteral("flip");
const auto shockThresholdKey = QStringLiteral("shockThreshold");
const auto clipCaptionKey = QStringLiteral("clipCaption");
const auto clipLayoutKey = QStringLiteral("clipLayout");
const auto clipReportKey = QStringLiteral("clipReport");
const auto folderKeyPrefix = QStringLiteral("folder/");
const auto windowGeometryKey = QStringLiteral("windowGeometry");

QString mirrorKey(int channel)
{
    return mirrorKeyPrefix + QString::number(channel);
}

QVariant registeredDefault(const QString &key)
{
    if (key == volumeKey || key == lastVolumeKey || key == brightnessKey)
        return 0.5;
    if (key.startsWith(mirrorKeyPrefix))
        return 0;
    if (key == shockThresholdKey)
        return 25.0;
    return {};
}

const auto organisation = QStringLiteral("Korvane");
const auto application = QStringLiteral("Korvane");

} // namespace

QVariant userDefault(const QString &key)
{
    return QSettings(organisation, application).value(key, registeredDefault(key));
}

void setUserDefault(const QString &key, const QVariant &value)
{
    QSettings(organisation, application).setValue(key, value);
}

double UserSettings::volume()
{
    return userDefault(volumeKey).toDouble();
}

void UserSettings::setVolume(double volume)
{
    setUserDefault(volumeKey, volume);
}

double UserSettings::lastVolume()
{
    return userDefault(lastVolumeKey).toDouble();
}

void UserSettings::setLastVolume(double volume)
{
    setUserDefault(lastVolumeKey, volume);
}

double UserSettings::brightness()
{
    return userDefault(brightnessKey).toDouble();
}

void UserSettings::setBrightness(double brightness)
{
    setUserDefault(brightnessKey, brightness);
}

int UserSettings::mirrorMode(int channel)
{
    return userDefault(mirrorKey(channel)).toInt();
}

void UserSettings::setMirrorMode(int channel, int mode)
{
    setUserDefault(mirrorKey(channel), mode);
}

double UserSettings::shockThreshold()
{
    return userDefault(shockThresholdKey).toDouble();
}

bool UserSettings::clipCaption()
{
    return userDefault(clipCaptionKey).toBool();
}

void UserSettings::setClipCaption(bool on)
{
    setUserDefault(clipCaptionKey, on);
}

QString UserSettings::clipLayout()
{
    return userDefault(clipLayoutKey).toString();
}

void UserSettings::setClipLayout(const QString &layout)
{
    setUserDefault(clipLayoutKey, layout);
}

bool UserSettings::clipReport()
{
    return userDefault(clipReportKey).toBool();
}

void UserSettings::setClipReport(bool on)
{
    setUserDefault(clipReportKey, on);
}

QString UserSettings::lastFolder(const QString &kind)
{
    return userDefault(folderKeyPrefix + kind).toString();
}

void UserSettings::setLastFolder(const QString &kind, const QString &folder)
{
    setUserDefault(folderKeyPrefix + kind, folder);
}

QRect UserSettings::windowGeometry()
{
    return userDefault(windowGeometryKey).toRect();
}

void UserSettings::setWindowGeometry(const QRect &geometry)
{
    setUserDefault(windowGeometryKey, geometry);
}

} // namespace korvane
