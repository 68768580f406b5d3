#include "base/argumentpaths.h"
#include "ui/shell/viewerapplication.h"
#include "ui/shell/viewermodules.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>

#include <cstdio>

using namespace korvane;

int main(int argc, char *argv[])
{
    // Read before the application exists, so that --help needs no display; a card image's name
    // need not be UTF-8.
    const ViewerOptions options = parseViewerOptions(commandLineArguments(argc, argv));
    if (options.help || options.version) {
        std::fputs(qPrintable(options.help ? viewerUsageText() : viewerVersionText()), stdout);
        return 0;
    }
    if (!options.problem.isEmpty()) {
        std::fputs(qPrintable(QStringLiteral("korvane: ") + options.problem + QLatin1Char('\n') +
                              viewerSynopsisText()),
                   stderr);
        return 2;
    }

    prepareViewerApplication();
    QGuiApplication app(argc, argv);
    styleViewer(app, viewerLanguage(options.language, QLocale::system()));
    QQmlApplicationEngine engine;
    loadMainWindow(engine, options);
    if (engine.rootObjects().isEmpty())
        return 1;
    return app.exec();
}
