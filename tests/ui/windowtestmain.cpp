#include "viewerapplication.h"

#include <QGuiApplication>
#include <QtQml/QQmlExtensionPlugin>

#include <gtest/gtest.h>

Q_IMPORT_QML_PLUGIN(Korvane_ShellPlugin)
Q_IMPORT_QML_PLUGIN(Korvane_PlayerPlugin)
Q_IMPORT_QML_PLUGIN(Korvane_ControlsPlugin)
Q_IMPORT_QML_PLUGIN(Korvane_ModelsPlugin)
Q_IMPORT_QML_PLUGIN(Korvane_VideoPlugin)
Q_IMPORT_QML_PLUGIN(Korvane_GraphPlugin)

// The window's tests run in an application set up as the viewer's own.
int main(int argc, char **argv)
{
    korvane::prepareViewerApplication();
    QGuiApplication app(argc, argv);
    korvane::styleViewer(app);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
