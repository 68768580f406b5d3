#include "base/identity.h"

namespace korvane {

namespace {
QString textOr(const char *value, const char *fallback)
{
    const QString text = QString::fromUtf8(value);
    return text.isEmpty() ? QString::fromUtf8(fallback) : text;
}
} // namespace

QString appName()
{
    return textOr(KORVANE_APP_NAME, "Unknown App");
}

QString appVersion()
{
    return textOr(KORVANE_APP_VERSION, "N/A");
}

QString appBuild()
{
    return textOr(KORVANE_APP_BUILD, "N/A");
}

} // namespace korvane
