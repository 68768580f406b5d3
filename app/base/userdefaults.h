#pragma once

#include <QRect>
#include <QString>
#include <QVariant>

namespace korvane {

// The user's stored player settings, kept with QSettings under the organisation and application
// "Korvane". A key the user never changed reads as its registered default. The keys are named
// only here and are what the settings file holds: "volume", "lastVolume", "brightness", "flip1"
// ... "flip5", "shockThreshold", "clipCaption", "clipLayout",
// "clipReport", "folder/<kind>", "windowGeometry".
QVariant userDefault(const QString &key);
void setUserDefault(const QString &key, const QVariant &value);

// The same settings by what they mean.
struct UserSettings
{
    // 0 to 1; 0.5 until changed.
    static double volume();
    static void setVolume(double volume);
    // The volume before the sound was turned off.
    static double lastVolume();
    static void setLastVolume(double volume);
    // 0 to 1, 0.5 the picture as recorded.
    static double brightness();
    static void setBrightness(double brightness);
    // Camera channel 1 to 5: 0 none, 1 horizontal, 2 vertical, 3 both.
    static int mirrorMode(int channel);
    static void setMirrorMode(int channel, int mode);
    // The G-sensor reading from which a sample counts as a shock, in the sensor's own units.
    static double shockThreshold();
    // Whether evidence clips get the caption.
    static bool clipCaption();
    static void setClipCaption(bool on);
    // How clips carry the cameras ("tracks", "grid", "pip"); empty until chosen.
    static QString clipLayout();
    static void setClipLayout(const QString &layout);
    // Whether an evidence report is written beside each clip; false until chosen.
    static bool clipReport();
    static void setClipReport(bool on);
    // The folder last chosen to save or open that kind of file; empty until one was.
    static QString lastFolder(const QString &kind);
    static void setLastFolder(const QString &kind, const QString &folder);
    // The main window's place and size as the window system last reported them; empty until
    // the window was closed once.
    static QRect windowGeometry();
    static void setWindowGeometry(const QRect &geometry);
};

} // namespace korvane
