#include "base/mainthreadcall.h"

#include "base/threadhandover.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

namespace korvane {

namespace {

const QEvent::Type callEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

struct CallEvent : QEvent
{
    CallEvent(QObject *receiver, std::function<void()> function)
        : QEvent(callEventType), context(receiver), call(std::move(function))
    {
    }

    // Events the loop never delivered (the application is quitting) are deleted unread.
    ~CallEvent() override { markTakenOver(this); }

    QPointer<QObject> context;
    std::function<void()> call;
};

// Receives the calls on the main thread.
class Dispatcher : public QObject
{
public:
    bool event(QEvent *event) override
    {
        markTakenOver(event);
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
    markHandedOver(event);
    QCoreApplication::postEvent(dispatcher(), event);
}

} // namespace korvane
