#pragma once

#include <QObject>
#include <QtQml/qqml.h>

namespace korvane::qml {

// Whether the desktop offers its own file dialogs: the XDG desktop portal, or the platform theme
// of GNOME or KDE. Where it does, the window asks it; where not, the window shows its own folder
// chooser instead of Qt Quick's fallback.
class DesktopDialogs : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool offered READ offered CONSTANT)

public:
    using QObject::QObject;
    static bool offered();
};

} // namespace korvane::qml
