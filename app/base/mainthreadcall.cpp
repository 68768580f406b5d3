#include "mainthreadcall.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void *address);
extern "C" void __tsan_release(void *address);
#endif

namespace korvane {

namespace {

const QEvent::Type callEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

struct CallEvent : QEvent
{
    CallEvent(QObject *context, std::function<void()> call)
        : QEvent(callEventType), context(context), call(std::move(call))
    {
    }

    QPointer<QObject> context;
    std::function<void()> call;
};

// Receives the calls on the main thread.
class Dispatcher : public QObject
{
public:
    bool event(QEvent *event) override
    {
#if defined(__SANITIZE_THREAD__)
        __tsan_acquire(event);
#endif
        if (event->type() != callEventType)
            return QObject::event(event);
        auto *call = static_cast<CallEvent *>(event);
        if (call->context)
            call->call();
        return true;
    }
};

Dispatcher *dispatcher()
{
    static Dispatcher *const instance = [] {
        auto *made = new Dispatcher;
        made->moveToThread(QCoreApplication::instance()->thread());
        return made;
    }();
    return instance;
}

} // namespace

void callOnMainThread(QObject *context, std::function<void()> call)
{
    auto *event = new CallEvent(context, std::move(call));
#if defined(__SANITIZE_THREAD__)
    __tsan_release(event);
#endif
    QCoreApplication::postEvent(dispatcher(), event);
}

} // namespace korvane
