#pragma once

#include "ui/shell/vieweroptions.h"

#include <QLocale>
#include <QString>

class QGuiApplication;
class QQmlApplicationEngine;

namespace korvane {

// Before the application object: its identity, and the map's web engine set up to share the
// window's graphics.
void prepareViewerApplication();

// The window's language for the --lang option: the option's when given, else English on a system
// that speaks English and Korean on every other.
QString viewerLanguage(const QString &option, const QLocale &system);

// The look of the window: its style, a font with Hangul, and the texts in `language` ("ko" or
// "en"), Qt's own as well. Called again, it replaces the language.
void styleViewer(QGuiApplication &application, const QString &language = QStringLiteral("ko"));

// Loads the main window, with the card image of the options shown as the inserted card.
void loadMainWindow(QQmlApplicationEngine &engine, const ViewerOptions &options);

} // namespace korvane
