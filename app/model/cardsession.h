#pragma once

#include <QCoroTask>
#include <QObject>
#include <QString>

namespace korvane {

class Notifications;
class ProcessManager;
class SDManager;

// The viewer's life with cards: the tools made ready at start-up, a card arriving and leaving,
// the window closing and quitting. Each card that leaves starts a new generation: work begun
// with a card now gone ends quietly when it sees the generation changed. Main thread only.
class CardSession : public QObject
{
    Q_OBJECT
    // "Korvane 0.1.0 (1)": the name, version and build of this viewer.
    Q_PROPERTY(QString windowTitle READ windowTitle CONSTANT)
    Q_PROPERTY(bool isInitialized READ isInitialized NOTIFY isInitializedChanged)
    Q_PROPERTY(bool hasCard READ hasCard NOTIFY hasCardChanged)
    // Why the viewer cannot read cards (a tool missing, a folder refused), in words for the
    // user; empty while nothing stands in the way.
    Q_PROPERTY(QString setupProblem READ setupProblem NOTIFY setupProblemChanged)

public:
    CardSession(ProcessManager &card, Notifications *notifications, QObject *parent = nullptr);

    static QString windowTitle();
    bool isInitialized() const { return m_isInitialized; }
    bool hasCard() const { return m_hasCard; }
    QString setupProblem() const;
    // Changes each time a card leaves.
    quint64 generation() const { return m_generation; }

    // The tools made ready, then the card watched; a card image given instead is shown as the
    // inserted card, with a folder standing in for its FAT volume.
    Q_INVOKABLE void start(korvane::SDManager *monitor, const QString &cardImage = {},
                           const QString &cardVolume = {});
    QCoro::Task<bool> startUp(SDManager *monitor);
    void cardAttached(const QString &rawDevicePath);
    void cardDetached();
    // The window closes: playback and copying stop.
    Q_INVOKABLE void windowWillClose();
    // The user confirmed quitting: the working copies go too.
    Q_INVOKABLE void quitConfirmed();

signals:
    void isInitializedChanged();
    void hasCardChanged();
    void setupProblemChanged();
    // A card is there to be read.
    void cardArrived();
    // The card left: what was read of it, and what plays from it, goes.
    void cardLeft();
    // The window closes.
    void closing();

private:
    ProcessManager &m_card;
    Notifications *m_notifications;
    quint64 m_generation = 0;
    bool m_isInitialized = false;
    bool m_hasCard = false;
};

} // namespace korvane
