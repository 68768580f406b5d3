#include "scenetestsupport.h"

#include "playbacktestsupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QQmlProperty>
#include <QQuickItem>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>

namespace korvane::test {

namespace {

// Animation.Infinite.
constexpr int loopsForEver = -2;
// Loader.Loading and Image.Loading.
constexpr int loading = 2;

// Every object of the scene: the window's own children, the items of its tree, and what each
// item holds that is no item (its animations, Behaviors, transitions, popups).
void collect(QObject *object, QSet<QObject *> &seen, QList<QObject *> &found)
{
    if (!object || seen.contains(object))
        return;
    seen.insert(object);
    found.append(object);
    for (QObject *child : object->children())
        collect(child, seen, found);
    if (auto *item = qobject_cast<QQuickItem *>(object)) {
        for (QQuickItem *child : item->childItems())
            collect(child, seen, found);
    }
}

QString describe(const QObject *object)
{
    const QString name = object->objectName();
    return QString::fromLatin1(object->metaObject()->className()) +
           (name.isEmpty() ? QString() : QStringLiteral(" \"%1\"").arg(name));
}

// The end value of an animation is written as it was asked for, but may come back from the
// property as another type of number (an int given to a real).
bool sameValue(const QVariant &shown, const QVariant &target)
{
    bool shownIsNumber = false;
    bool targetIsNumber = false;
    const double a = shown.toDouble(&shownIsNumber);
    const double b = target.toDouble(&targetIsNumber);
    if (shownIsNumber && targetIsNumber)
        return std::abs(a - b) <= 1e-9 * std::max({1.0, std::abs(a), std::abs(b)});
    return shown == target;
}

// What keeps one object of the scene from being at rest; empty when nothing does.
QString motionOf(const QObject *object)
{
    if (object->inherits("QQuickBehavior")) {
        if (!object->property("enabled").toBool())
            return {};
        const QVariant target = object->property("targetValue");
        const auto property = object->property("targetProperty").value<QQmlProperty>();
        if (target.isValid() && property.isValid() && !sameValue(property.read(), target))
            return QStringLiteral("Behavior on %1 of %2")
                .arg(property.name(), describe(property.object()));
        return {};
    }
    if (object->inherits("QQuickAbstractAnimation")) {
        if (object->property("running").toBool() && !object->property("paused").toBool() &&
            object->property("loops").toInt() != loopsForEver)
            return describe(object);
        return {};
    }
    if (object->inherits("QQuickTransition")) {
        if (object->property("running").toBool())
            return describe(object);
        return {};
    }
    if (object->inherits("QQuickLoader") || object->inherits("QQuickImageBase")) {
        if (object->property("status").toInt() == loading)
            return describe(object) + QStringLiteral(" loading");
        return {};
    }
    if (object->inherits("QQuickFlickable")) {
        if (object->property("moving").toBool())
            return describe(object) + QStringLiteral(" moving");
        return {};
    }
    return {};
}

int remainingMs(const QDeadlineTimer &deadline)
{
    return static_cast<int>(std::max<qint64>(0, deadline.remainingTime()));
}

} // namespace

QStringList sceneInMotion(QQuickWindow *window)
{
    QSet<QObject *> seen;
    QList<QObject *> objects;
    collect(window, seen, objects);
    collect(window->contentItem()->parentItem() ? window->contentItem()->parentItem()
                                                : window->contentItem(),
            seen, objects);
    QStringList moving;
    for (const QObject *object : std::as_const(objects)) {
        if (const QString motion = motionOf(object); !motion.isEmpty())
            moving.append(motion);
    }
    return moving;
}

bool waitForFrame(QQuickWindow *window, int timeoutMs)
{
    if (!window->isExposed())
        return true;
    // Emitted on the render thread where there is one, while the main thread waits for the
    // synchronisation: a frame synchronised after the connection holds the scene as it is now.
    struct Watch
    {
        std::atomic_bool synchronised = false;
        std::atomic_bool shown = false;
    };
    const auto watch = std::make_shared<Watch>();
    const QMetaObject::Connection synchronising = QObject::connect(
        window, &QQuickWindow::beforeSynchronizing, window, [watch] { watch->synchronised = true; },
        Qt::DirectConnection);
    const QMetaObject::Connection swapped = QObject::connect(
        window, &QQuickWindow::frameSwapped, window,
        [watch] {
            if (watch->synchronised)
                watch->shown = true;
        },
        Qt::DirectConnection);
    window->update();
    const QPointer<QQuickWindow> watched(window);
    const bool shown = waitUntil([&] { return !watched || watch->shown; }, timeoutMs);
    QObject::disconnect(synchronising);
    QObject::disconnect(swapped);
    return shown;
}

bool waitForSettledScene(const QList<QQuickWindow *> &windows, int timeoutMs, QStringList *inMotion)
{
    const QDeadlineTimer deadline(timeoutMs);
    QList<QPointer<QQuickWindow>> watched;
    for (QQuickWindow *window : windows)
        watched.append(window);
    const auto moving = [&] {
        QStringList all;
        for (const QPointer<QQuickWindow> &window : std::as_const(watched)) {
            if (window)
                all += sceneInMotion(window);
        }
        return all;
    };
    for (;;) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        if (!waitUntil([&] { return moving().isEmpty(); }, remainingMs(deadline))) {
            if (inMotion)
                *inMotion = moving();
            return false;
        }
        for (const QPointer<QQuickWindow> &window : std::as_const(watched)) {
            if (window && !waitForFrame(window, remainingMs(deadline))) {
                if (inMotion)
                    *inMotion = {QStringLiteral("no frame shown by ") + describe(window)};
                return false;
            }
        }
        // Drawing a frame may set something going of its own (hover is looked at again with
        // each frame): at rest after the frame as well, or round again.
        QCoreApplication::processEvents();
        if (moving().isEmpty())
            return true;
        if (deadline.hasExpired()) {
            if (inMotion)
                *inMotion = moving();
            return false;
        }
    }
}

} // namespace korvane::test
