#pragma once

#include <QQuickWindow>
#include <QStringList>

namespace korvane::test {

// What in a window's scene is still on its way to where the models put it: an animation part
// way, a Behavior short of its target value, a transition or a flick running, a loader or an
// image still loading. Animations that loop for ever (a busy indicator) never arrive and are left
// out. Empty when the scene is at rest.
QStringList sceneInMotion(QQuickWindow *window);

// Runs the event loop until a frame of the window has been shown that was synchronised from its
// scene after this call. True at once for a window that is not exposed, as none is drawn then.
bool waitForFrame(QQuickWindow *window, int timeoutMs = 30000);

// Runs the event loop until what was posted has been delivered, the scene of every window given
// is at rest, and each has shown a frame drawn from it since. False when that did not come within
// `timeoutMs`; `inMotion` then says what was still moving.
bool waitForSettledScene(const QList<QQuickWindow *> &windows, int timeoutMs = 30000,
                         QStringList *inMotion = nullptr);

} // namespace korvane::test
