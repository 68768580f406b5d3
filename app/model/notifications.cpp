#include "model/notifications.h"

#include "base/published.h"

#include <QDesktopServices>
#include <QUrl>

namespace korvane {

namespace {

QVariant optionalText(const std::optional<QString> &text)
{
    return text ? QVariant(*text) : QVariant();
}

} // namespace

Notifications::Notifications(QObject *parent) : QObject(parent)
{
    for (const auto changed :
         {&Notifications::alertMessageChanged, &Notifications::procMessageChanged,
          &Notifications::downloadMessageChanged, &Notifications::savedChanged})
        connect(this, changed, this, &Notifications::overlayChanged);
    connect(this, &Notifications::overlayChanged, this, &Notifications::canOpenFilesChanged);
    connect(this, &Notifications::isAlertingChanged, this, &Notifications::canOpenFilesChanged);
}

void Notifications::setAlertMessage(const std::optional<QString> &message)
{
    publish(this, m_alertMessage, message, &Notifications::alertMessageChanged);
}

void Notifications::setProcMessage(const std::optional<QString> &message)
{
    publish(this, m_procMessage, message, &Notifications::procMessageChanged);
}

void Notifications::setDownloadMessage(const std::optional<QString> &message)
{
    publish(this, m_downloadMessage, message, &Notifications::downloadMessageChanged);
}

void Notifications::setIsAlerting(bool on)
{
    publish(this, m_isAlerting, on, &Notifications::isAlertingChanged);
}

void Notifications::setSaved(const QString &message, const QString &folder)
{
    m_savedMessage = message;
    m_savedFolder = folder;
    emit savedChanged();
}

void Notifications::closeSaved()
{
    if (!m_savedMessage)
        return;
    m_savedMessage.reset();
    m_savedFolder.clear();
    emit savedChanged();
}

void Notifications::openSavedFolder()
{
    if (!m_savedFolder.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(m_savedFolder));
    closeSaved();
}

void Notifications::setSetupFailed(bool canWatchFromComputer)
{
    m_canWatchFromComputer = canWatchFromComputer;
    m_setupFailed = true;
    emit overlayChanged();
}

void Notifications::setHasCard(bool on)
{
    publish(this, m_hasCard, on, &Notifications::overlayChanged);
}

void Notifications::setHasPickedRecordings(bool on)
{
    publish(this, m_hasPickedRecordings, on, &Notifications::overlayChanged);
}

Notifications::Overlay Notifications::overlay() const
{
    if (m_setupFailed && !(m_canWatchFromComputer && m_hasPickedRecordings))
        return Overlay::SetupFailed;
    if (!m_hasCard && !m_hasPickedRecordings)
        return Overlay::NoCard;
    if (m_alertMessage)
        return Overlay::Alert;
    if (m_procMessage)
        return Overlay::Progress;
    if (m_downloadMessage)
        return Overlay::Download;
    if (m_savedMessage)
        return Overlay::Saved;
    return Overlay::None;
}

bool Notifications::canOpenFiles() const
{
    if (m_isAlerting)
        return false;
    switch (overlay()) {
    case Overlay::None:
    case Overlay::NoCard:
        return true;
    case Overlay::SetupFailed:
        return m_canWatchFromComputer;
    case Overlay::Alert:
    case Overlay::Progress:
    case Overlay::Download:
    case Overlay::Saved:
        break;
    }
    return false;
}

QVariant Notifications::alertMessageValue() const
{
    return optionalText(m_alertMessage);
}

QVariant Notifications::procMessageValue() const
{
    return optionalText(m_procMessage);
}

QVariant Notifications::downloadMessageValue() const
{
    return optionalText(m_downloadMessage);
}

QVariant Notifications::savedMessageValue() const
{
    return optionalText(m_savedMessage);
}

} // namespace korvane
