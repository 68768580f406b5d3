#include "card/diskservice.h"

#include <QCoroDBusPendingCall>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QVariantMap>

namespace korvane {

namespace {

const QString service = QStringLiteral("org.freedesktop.UDisks2");
// Long enough for the administrator to read the prompt and type a password.
constexpr int promptTimeoutMs = 10 * 60 * 1000;

QString replyProblem(const QDBusMessage &reply)
{
    if (reply.type() != QDBusMessage::ErrorMessage)
        return {};
    return reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
}

} // namespace

QString DiskService::unavailableReason()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return QStringLiteral("no system bus: %1").arg(bus.lastError().message());
    const QDBusConnectionInterface *names = bus.interface();
    if (names->isServiceRegistered(service).value())
        return {};
    if (names->activatableServiceNames().value().contains(service))
        return {};
    return QStringLiteral("UDisks2 (package udisks2) is not running on the system bus");
}

QCoro::Task<OpenedCard> DiskService::openForReading(QString devicePath)
{
    OpenedCard card;
    QDBusConnection bus = QDBusConnection::systemBus();
    QDBusMessage resolve = QDBusMessage::createMethodCall(
        service, QStringLiteral("/org/freedesktop/UDisks2/Manager"),
        QStringLiteral("org.freedesktop.UDisks2.Manager"), QStringLiteral("ResolveDevice"));
    resolve << QVariantMap{{QStringLiteral("path"), devicePath}} << QVariantMap{};
    QDBusPendingCall resolving = bus.asyncCall(resolve);
    const QDBusMessage resolved = co_await resolving;
    if (const QString problem = replyProblem(resolved); !problem.isEmpty()) {
        card.problem = problem;
        co_return card;
    }
    const QList<QDBusObjectPath> blocks =
        qdbus_cast<QList<QDBusObjectPath>>(resolved.arguments().value(0));
    if (blocks.isEmpty()) {
        card.problem = QStringLiteral("UDisks2 does not know %1").arg(devicePath);
        co_return card;
    }

    QDBusMessage open = QDBusMessage::createMethodCall(
        service, blocks.first().path(), QStringLiteral("org.freedesktop.UDisks2.Block"),
        QStringLiteral("OpenDevice"));
    open << QStringLiteral("r") << QVariantMap{};
    // polkit may ask the administrator through the desktop's agent before UDisks2 answers.
    open.setInteractiveAuthorizationAllowed(true);
    QDBusPendingCall opening = bus.asyncCall(open, promptTimeoutMs);
    const QDBusMessage opened = co_await opening;
    card.problem = replyProblem(opened);
    if (card.problem.isEmpty()) {
        card.descriptor = opened.arguments().value(0).value<QDBusUnixFileDescriptor>();
        if (!card.descriptor.isValid())
            card.problem =
                QStringLiteral("UDisks2 handed over no descriptor for %1").arg(devicePath);
    }
    co_return card;
}

} // namespace korvane
