#include "ui/shell/viewerapplication.h"

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QPointer>
#include <QTranslator>
#include <QtWebEngineQuick/qtwebenginequickglobal.h>

#include <malloc.h>
#include <unistd.h>

namespace korvane {

void prepareViewerApplication()
{
    // Every recording opened brings new decoding threads, and each new thread may get a memory
    // arena of its own that keeps what it once held; over a day of recordings the viewer would
    // grow by such arenas. Two are enough for the threads that allocate at once.
    mallopt(M_ARENA_MAX, 2);
    QCoreApplication::setOrganizationName(QStringLiteral("Korvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvane"));
    // The web engine's sandbox cannot start for root; the map page is our own, bundled page.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QtWebEngineQuick::initialize();
}

QString viewerLanguage(const QString &option, const QLocale &system)
{
    if (!option.isEmpty())
        return option;
    return system.language() == QLocale::English ? QStringLiteral("en") : QStringLiteral("ko");
}

namespace {

// The translations this set-up installed: a later set-up takes them out first.
QList<QPointer<QTranslator>> installedTranslations;

void installTranslation(QGuiApplication &application, const QString &catalogue,
                        const QString &folder)
{
    auto *translator = new QTranslator(&application);
    if (translator->load(catalogue, folder)) {
        QCoreApplication::installTranslator(translator);
        installedTranslations.append(translator);
    } else {
        delete translator;
    }
}

} // namespace

void styleViewer(QGuiApplication &application, const QString &language)
{
    // Korean is the texts' own language; English comes from the viewer's translation. Qt's own
    // texts (the file dialogs' buttons, their dates) follow.
    for (const QPointer<QTranslator> &translator : std::as_const(installedTranslations))
        delete translator.data();
    installedTranslations.clear();
    if (language == u"en") {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        installTranslation(application, QStringLiteral("korvane_en"), QStringLiteral(":/i18n"));
    } else {
        QLocale::setDefault(QLocale(QLocale::Korean, QLocale::SouthKorea));
        for (const QString &catalogue :
             {QStringLiteral("qtbase_ko"), QStringLiteral("qtdeclarative_ko")})
            installTranslation(application, catalogue,
                               QLibraryInfo::path(QLibraryInfo::TranslationsPath));
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
