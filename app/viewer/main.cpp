#include "vieweroptions.h"

#include <QFont>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QtQml/QQmlExtensionPlugin>
#include <QtWebEngineQuick/qtwebenginequickglobal.h>

#include <cstdio>

Q_IMPORT_QML_PLUGIN(Korvane_ShellPlugin)
Q_IMPORT_QML_PLUGIN(Korvane_PlayerPlugin)
Q_IMPORT_QML_PLUGIN(Korvane_ControlsPlugin)
Q_IMPORT_QML_PLUGIN(Korvane_ModelsPlugin)
Q_IMPORT_QML_PLUGIN(Korvane_VideoPlugin)

using namespace korvane;

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    // Read before the application exists, so that --help needs no display.
    const ViewerOptions options = parseViewerOptions(arguments);
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

    QCoreApplication::setOrganizationName(QStringLiteral("Korvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvane"));
    // The map's web view shares the window's graphics context.
    QtWebEngineQuick::initialize();
    QGuiApplication app(argc, argv);
    app.setFont(QFont(QStringLiteral("Noto Sans CJK KR"), 10));
    QQuickStyle::setStyle(QStringLiteral("Fusion"));

    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    engine.setInitialProperties({{QStringLiteral("cardImage"), options.cardImage},
                                 {QStringLiteral("cardVolume"), options.cardVolume}});
    const QUrl main(QStringLiteral("qrc:/Korvane/Shell/Main.qml"));
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreated, &app,
        [main](QObject *window, const QUrl &url) {
            if (!window && url == main)
                QCoreApplication::exit(1);
        },
        Qt::QueuedConnection);
    engine.load(main);
    return app.exec();
}
