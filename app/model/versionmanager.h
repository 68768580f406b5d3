#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;

namespace korvane {

class Notifications;

// The newest release a release page lists: the first "<td>1.2.3 (Build 45)" on it.
struct Release
{
    QString version;
    QString build;
};

std::optional<Release> readReleasePage(const QByteArray &page);
// Whether `latest` is newer than the running version and build: versions compared number by
// number (1.10.0 after 1.9.0), the builds only when the versions are the same text.
bool isNewerRelease(const Release &latest, const QString &version, const QString &build);

// Tells the user when the release page lists a newer release. The page's address is a setting of
// the build; without one nothing is ever asked of the network.
class VersionManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QUrl pageAddress READ pageAddress CONSTANT)
    // The newer release found, as the question to the user words it; empty while there is none.
    Q_PROPERTY(QString updateMessage READ updateMessage NOTIFY updateMessageChanged)

public:
    explicit VersionManager(QObject *parent = nullptr);
    ~VersionManager() override;

    QUrl pageAddress() const { return m_pageAddress; }
    void setPageAddress(const QUrl &address) { m_pageAddress = address; }
    QString updateMessage() const { return m_updateMessage; }

    // Asks for the release page once, in the background; `model` is alerting while the question
    // is up. An answer longer than 1 MiB is no release page: it is read no further.
    Q_INVOKABLE void checkForUpdate(korvane::Notifications *notifications);
    // The user answered the question; with "예" the window opens the page and quits.
    Q_INVOKABLE void answered();

signals:
    void updateMessageChanged();
    // The check asked of `checkForUpdate` has its answer, a release or none.
    void checkEnded();

private:
    void pageArrived(const QByteArray &page);

    QUrl m_pageAddress;
    QString m_updateMessage;
    QNetworkAccessManager *m_network = nullptr;
    Notifications *m_notifications = nullptr;
};

} // namespace korvane
