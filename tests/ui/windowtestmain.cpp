#include "ui/shell/viewerapplication.h"
#include "ui/shell/viewermodules.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

// The window's tests run in an application set up as the viewer's own.
int main(int argc, char **argv)
{
    korvane::prepareViewerApplication();
    QGuiApplication app(argc, argv);
    korvane::styleViewer(app);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
