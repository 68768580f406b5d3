#pragma once

#include "vieweroptions.h"

class QGuiApplication;
class QQmlApplicationEngine;

namespace korvane {

// Before the application object: its identity, and the map's web engine set up to share the
// window's graphics.
void prepareViewerApplication();

// The look of the window: its style, a font with Hangul, and Qt's own texts in Korean.
void styleViewer(QGuiApplication &application);

// Loads the main window, with the card image of the options shown as the inserted card.
void loadMainWindow(QQmlApplicationEngine &engine, const ViewerOptions &options);

} // namespace korvane
