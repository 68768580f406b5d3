#pragma once

#include <QObject>

#include <functional>

namespace korvane {

// Hands `call` from a streaming or pool thread to the main thread, where it runs from the event
// loop unless `context` (an object of the main thread) is gone by then. The call and everything
// it captured are made on the calling thread and used on the main thread: the hand-over is marked
// as such for the thread checker, which cannot see the event queue's own locking.
void callOnMainThread(QObject *context, std::function<void()> call);

} // namespace korvane
