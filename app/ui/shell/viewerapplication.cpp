#include "viewerapplication.h"

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QTranslator>
#include <QtWebEngineQuick/qtwebenginequickglobal.h>

#include <unistd.h>

namespace korvane {

void prepareViewerApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Korvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvane"));
    // The web engine's sandbox cannot start for root; the map page is our own, bundled page.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QtWebEngineQuick::initialize();
}

void styleViewer(QGuiApplication &application)
{
    // The window speaks Korean, Qt's own texts (the file dialogs' buttons, their dates) as well.
    QLocale::setDefault(QLocale(QLocale::Korean, QLocale::SouthKorea));
    for (const QString &catalogue :
         {QStringLiteral("qtbase_ko"), QStringLiteral("qtdeclarative_ko")}) {
        auto *translator = new QTranslator(&application);
        if (translator->load(catalogue, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
    // The windows' own dark palette is set on Fusion; Noto Sans CJK comes with the install.
    application.setFont(QFont(QStringLiteral("Noto Sans CJK KR"), 10));
    QQuickStyle::setStyle(QStringLiteral("Fusion"));
}

void loadMainWindow(QQmlApplicationEngine &engine, const ViewerOptions &options)
{
    // The modules are built into the program, under qrc:/.
    engine.addImportPath(QStringLiteral("qrc:/"));
    engine.setInitialProperties({{QStringLiteral("cardImage"), options.cardImage},
                                 {QStringLiteral("cardVolume"), options.cardVolume}});
    engine.load(QUrl(QStringLiteral("qrc:/Korvane/Shell/Main.qml")));
}

} // namespace korvane
