#include "desktopdialogs.h"

#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformtheme.h>

namespace korvane::qml {

bool DesktopDialogs::offered()
{
    // Qt keeps the answer to itself: only the platform theme knows whether it has file dialogs.
    const QPlatformTheme *theme = QGuiApplicationPrivate::platformTheme();
    return theme && theme->usePlatformNativeDialog(QPlatformTheme::FileDialog);
}

} // namespace korvane::qml
