#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <optional>

namespace korvane {

// What covers the player screen and why: the alert the user must close, the progress of an open
// or a download, and what stands in the way of reading cards at all. Main thread only.
class Notifications : public QObject
{
    Q_OBJECT
    // Optional texts: null while there is none.
    Q_PROPERTY(QVariant alertMessage READ alertMessageValue NOTIFY alertMessageChanged)
    Q_PROPERTY(QVariant procMessage READ procMessageValue NOTIFY procMessageChanged)
    // Null: no download; any other text: its progress.
    Q_PROPERTY(QVariant downloadMessage READ downloadMessageValue NOTIFY downloadMessageChanged)
    // What was just saved and where, until closed; null while there is none.
    Q_PROPERTY(QVariant savedMessage READ savedMessageValue NOTIFY savedChanged)
    Q_PROPERTY(QString savedFolder READ savedFolder NOTIFY savedChanged)
    // A question of the window (quitting) is up: keys and the screen's buttons wait for it.
    Q_PROPERTY(bool isAlerting READ isAlerting WRITE setIsAlerting NOTIFY isAlertingChanged)
    Q_PROPERTY(korvane::Notifications::Overlay overlay READ overlay NOTIFY overlayChanged)
    // The viewer could not start reading cards but plays recordings from the computer.
    Q_PROPERTY(bool canWatchFromComputer READ canWatchFromComputer NOTIFY overlayChanged)
    // Recordings from the computer may be opened now (Ctrl+O, the open button, dropped files):
    // nothing covers the screen but the want of a card, and no question is up.
    Q_PROPERTY(bool canOpenFiles READ canOpenFiles NOTIFY canOpenFilesChanged)

public:
    // What covers the player screen, the first that holds in this order.
    enum class Overlay
    {
        None,
        SetupFailed, // the tools could not be made ready: no card can be read
        NoCard,      // and no recordings picked from the computer
        Alert,
        Progress,
        Download,
        Saved
    };
    Q_ENUM(Overlay)

    explicit Notifications(QObject *parent = nullptr);

    const std::optional<QString> &alertMessage() const { return m_alertMessage; }
    void setAlertMessage(const std::optional<QString> &message);
    const std::optional<QString> &procMessage() const { return m_procMessage; }
    void setProcMessage(const std::optional<QString> &message);
    const std::optional<QString> &downloadMessage() const { return m_downloadMessage; }
    void setDownloadMessage(const std::optional<QString> &message);
    const std::optional<QString> &savedMessage() const { return m_savedMessage; }
    QString savedFolder() const { return m_savedFolder; }
    // Says what was saved into `folder`, with a way to open the folder.
    void setSaved(const QString &message, const QString &folder);
    bool isAlerting() const { return m_isAlerting; }
    bool canWatchFromComputer() const { return !m_setupFailed || m_canWatchFromComputer; }
    bool canOpenFiles() const;
    void setIsAlerting(bool on);
    Overlay overlay() const;
    // The card state the cover shows while no message does. When only the card cannot be read,
    // recordings on the computer can still be watched: once some are listed, the cover goes.
    void setSetupFailed(bool canWatchFromComputer);
    void setHasCard(bool on);
    // Recordings picked from the computer are listed: without a card they can still be watched.
    void setHasPickedRecordings(bool on);

    Q_INVOKABLE void closeAlert() { setAlertMessage(std::nullopt); }
    // Closing a download's or a clip's progress cancels it.
    Q_INVOKABLE void closeDownload() { setDownloadMessage(std::nullopt); }
    Q_INVOKABLE void closeSaved();
    // Shows the folder of what was saved in the desktop's file manager, and closes the message.
    Q_INVOKABLE void openSavedFolder();

signals:
    void alertMessageChanged();
    void procMessageChanged();
    void downloadMessageChanged();
    void savedChanged();
    void isAlertingChanged();
    void overlayChanged();
    void canOpenFilesChanged();

private:
    QVariant alertMessageValue() const;
    QVariant procMessageValue() const;
    QVariant downloadMessageValue() const;
    QVariant savedMessageValue() const;

    std::optional<QString> m_alertMessage;
    std::optional<QString> m_procMessage;
    std::optional<QString> m_downloadMessage;
    std::optional<QString> m_savedMessage;
    QString m_savedFolder;
    bool m_isAlerting = false;
    bool m_setupFailed = false;
    bool m_canWatchFromComputer = false;
    bool m_hasCard = false;
    bool m_hasPickedRecordings = false;
};

} // namespace korvane
