#pragma once

#include <QString>
#include <QVariant>

namespace korvane {

// The user's stored player settings ("volume", "lastVolume", "brightness", "flip1" ... "flip5",
// "shockThreshold"),
// kept with QSettings under the organisation and application "Korvane". A key the user never
// changed reads as its registered default.
QVariant userDefault(const QString &key);
void setUserDefault(const QString &key, const QVariant &value);

} // namespace korvane
