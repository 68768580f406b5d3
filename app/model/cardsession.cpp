#include "model/cardsession.h"

#include "base/applog.h"
#include "base/identity.h"
#include "base/published.h"
#include "card/processmanager.h"
#include "card/sdmanager.h"
#include "card/workingfolder.h"
#include "model/notifications.h"

#include <QPointer>

namespace korvane {

namespace {

// The card's copies and Korvane's own working files made from them or from picked files.
const QStringList workingCardFolders = {QStringLiteral("cfg"), QStringLiteral("mov"),
                                        QStringLiteral("work")};

// A card's copies can be gigabytes: they are set aside at once and removed on a worker.
void removeWorkingCopies()
{
    WorkingFolder::removeInBackground(workingCardFolders);
}

} // namespace

CardSession::CardSession(ProcessManager &card, Notifications *notifications, QObject *parent)
    : QObject(parent), m_card(card), m_notifications(notifications)
{
    connect(&m_card.tools(), &ToolSet::setupProblemChanged, this,
            &CardSession::setupProblemChanged);
}

QString CardSession::windowTitle()
{
    return QStringLiteral("Korvane %1 (%2)").arg(appVersion(), appBuild());
}

QString CardSession::setupProblem() const
{
    return m_card.tools().setupProblem();
}

void CardSession::start(SDManager *monitor, const QString &cardImage, const QString &cardVolume)
{
    if (!monitor)
        return;
    if (!cardImage.isEmpty()) {
        monitor->useCardImage(cardImage);
        m_card.tools().setUsesCardImage(true);
    }
    if (!cardVolume.isEmpty())
        m_card.setCardVolume(cardVolume);
    connect(monitor, &SDManager::detectedDiskChanged, this, [this, monitor] {
        if (monitor->detectedDisk().isEmpty())
            cardDetached();
        else
            cardAttached(monitor->rawDevicePath());
    });
    startUp(monitor);
}

QCoro::Task<bool> CardSession::startUp(SDManager *monitor)
{
    QPointer<CardSession> self(this);
    QPointer<SDManager> card(monitor);
    const bool ready = co_await m_card.tools().initializeTools();
    if (!self)
        co_return false;
    m_isInitialized = ready;
    emit isInitializedChanged();
    if (!ready) {
        appLog(logWindow, "[ContentView] tools not ready:", m_card.tools().setupProblem());
        m_notifications->setSetupFailed(m_card.tools().toolsReady());
        co_return false;
    }
    if (card)
        card->startMonitoring();
    co_return true;
}

void CardSession::cardAttached(const QString &rawDevicePath)
{
    appLog(logWindow, "[ContentView] SD Card Attached");
    m_card.setRawDevicePath(rawDevicePath);
    publish(this, m_hasCard, true, &CardSession::hasCardChanged);
    m_notifications->setHasCard(true);
    emit cardArrived();
}

void CardSession::cardDetached()
{
    appLog(logWindow, "[ContentView] SD Card Detached");
    ++m_generation;
    publish(this, m_hasCard, false, &CardSession::hasCardChanged);
    m_notifications->setHasCard(false);
    m_card.setRawDevicePath({});
    emit cardLeft();
    removeWorkingCopies();
}

void CardSession::windowWillClose()
{
    // Spelt as the viewer's logs have always spelt it: readers of the log search for it.
    appLog(logWindow, "[ContenView] willCloseNotification");
    emit closing();
}

void CardSession::quitConfirmed()
{
    windowWillClose();
    removeWorkingCopies();
}

} // namespace korvane
