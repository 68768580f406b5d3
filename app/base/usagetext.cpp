#include "base/usagetext.h"

#include "base/identity.h"

namespace korvane {

QString versionLine(const QString &program)
{
    return QStringLiteral("%1 (%2) %3, build %4\n")
        .arg(program, appName(), appVersion(), appBuild());
}

QString synopsisOf(const QString &usage, const QString &program, const QString &rest)
{
    return usage.left(usage.indexOf(QLatin1String("\n\n")) + 1) +
           QStringLiteral("Run '%1 --help' for %2.\n").arg(program, rest);
}

} // namespace korvane
