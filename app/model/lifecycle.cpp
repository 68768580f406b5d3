// The window's life as the model sees it: start-up, the card arriving and leaving, quitting.
#include "model/appviewmodel.h"

#include "base/applog.h"
#include "base/identity.h"
#include "card/sdmanager.h"

#include <QPointer>
#include <QTimer>

namespace korvane {

namespace {

// How long the list keeps showing no card rows after a card left, in milliseconds.
constexpr int detachSettleMs = 1000;

// The card's copies and Korvane's own working files made from them or from picked files.
const QStringList workingCardFolders = {QStringLiteral("cfg"), QStringLiteral("mov"),
                                        QStringLiteral("work")};

// A card's copies can be gigabytes: they are set aside at once and removed on a worker.
void removeWorkingCopies()
{
    ProcessManager::removeInBackground(workingCardFolders);
}

} // namespace

QString AppViewModel::windowTitle()
{
    return QStringLiteral("Korvane %1 (%2)").arg(appVersion(), appBuild());
}

void AppViewModel::start(SDManager *monitor, const QString &cardImage, const QString &cardVolume)
{
    if (!monitor)
        return;
    if (!cardImage.isEmpty()) {
        monitor->useCardImage(cardImage);
        m_procManager.setUsesCardImage(true);
    }
    if (!cardVolume.isEmpty())
        m_procManager.setCardVolume(cardVolume);
    connect(monitor, &SDManager::detectedDiskChanged, this, [this, monitor] {
        if (monitor->detectedDisk().isEmpty())
            cardDetached();
        else
            cardAttached(monitor->rawDevicePath());
    });
    startUp(monitor);
}

QCoro::Task<bool> AppViewModel::startUp(SDManager *monitor)
{
    QPointer<AppViewModel> self(this);
    QPointer<SDManager> card(monitor);
    const bool ready = co_await m_procManager.initializeTools();
    if (!self)
        co_return false;
    m_isInitialized = ready;
    emit isInitializedChanged();
    if (!ready) {
        appLog("[ContentView] tools not ready:", m_procManager.setupProblem());
        m_setupFailed = true;
        emit overlayChanged();
        co_return false;
    }
    if (card)
        card->startMonitoring();
    co_return true;
}

void AppViewModel::cardAttached(const QString &rawDevicePath)
{
    appLog("[ContentView] SD Card Attached");
    m_procManager.setRawDevicePath(rawDevicePath);
    setHasCard(true);
    reloadList();
}

void AppViewModel::cardDetached()
{
    appLog("[ContentView] SD Card Detached");
    ++m_cardGeneration;
    setHasCard(false);
    m_procManager.setRawDevicePath({});
    cancelLoading();
    m_player->unload();
    m_videoPlayers.clear();
    emit videoPlayersChanged();
    emit speedTextChanged();
    emit openTitleChanged();
    m_selectedId = {};
    m_openRecording.reset();
    setIsPopupOpen(false);
    setIsAllChecked(false);
    ++m_metadataGeneration;
    m_metadataPending = false;
    m_mediaData.reset();
    ++m_filterGeneration; // a filter still running must not bring the rows back
    setFileList({});
    publishRows({});
    removeWorkingCopies();
    setUploaded(true);
    QPointer<AppViewModel> self(this);
    QTimer::singleShot(detachSettleMs, this, [self] {
        if (self)
            self->setUploaded(false);
    });
}

void AppViewModel::setHasCard(bool on)
{
    if (m_hasCard != on) {
        m_hasCard = on;
        emit hasCardChanged();
    }
}

QString AppViewModel::overlay() const
{
    if (m_setupFailed)
        return QStringLiteral("setupFailed");
    if (!m_hasCard)
        return QStringLiteral("noCard");
    if (m_alertMessage)
        return QStringLiteral("alert");
    if (m_procMessage)
        return QStringLiteral("progress");
    if (m_downloadMessage)
        return QStringLiteral("download");
    return {};
}

void AppViewModel::windowWillClose()
{
    appLog("[ContenView] willCloseNotification");
    m_player->stop();
    cancelLoading();
}

void AppViewModel::quitConfirmed()
{
    windowWillClose();
    removeWorkingCopies();
}

} // namespace korvane
