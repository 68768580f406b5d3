#include "base/userdefaults.h"

#include <QSettings>

namespace korvane {

namespace {

QVariant registeredDefault(const QString &key)
{
    if (key == QLatin1String("volume") || key == QLatin1String("lastVolume") ||
        key == QLatin1String("brightness"))
        return 0.5;
    if (key.startsWith(QLatin1String("flip")))
        return 0;
    if (key == QLatin1String("shockThreshold"))
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

} // namespace korvane
