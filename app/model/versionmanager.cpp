#include "model/versionmanager.h"

#include "base/identity.h"
#include "model/notifications.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QRegularExpression>
#include <QStringDecoder>

#include <memory>

namespace korvane {

namespace {
constexpr int answerTimeoutMs = 60000;
// A release page is a few kilobytes; a larger answer is no release page, and is not kept.
constexpr qint64 largestPage = 1 << 20;
} // namespace

std::optional<Release> readReleasePage(const QByteArray &page)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(page);
    if (utf8.hasError())
        return std::nullopt;
    static const QRegularExpression version(
        QStringLiteral("(?<=<td>)\\d+\\.\\d+\\.\\d+(?= \\(Build)"));
    static const QRegularExpression build(QStringLiteral("(?<=Build )\\d+(?=\\))"));
    const QRegularExpressionMatch versionMatch = version.match(text);
    const QRegularExpressionMatch buildMatch = build.match(text);
    if (!versionMatch.hasMatch() || !buildMatch.hasMatch())
        return std::nullopt;
    return Release{versionMatch.captured(), buildMatch.captured()};
}

namespace {

// Texts in numeric order: runs of digits compare by their value, everything else as text.
// (QCollator's numeric mode needs ICU, which not every Qt is built with.)
int compareNumerically(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const qsizetype startA = i, startB = j;
            while (i < a.size() && a[i].isDigit())
                ++i;
            while (j < b.size() && b[j].isDigit())
                ++j;
            QStringView runA = QStringView(a).mid(startA, i - startA);
            QStringView runB = QStringView(b).mid(startB, j - startB);
            while (runA.size() > 1 && runA.front() == u'0')
                runA = runA.mid(1);
            while (runB.size() > 1 && runB.front() == u'0')
                runB = runB.mid(1);
            if (runA.size() != runB.size())
                return runA.size() < runB.size() ? -1 : 1;
            if (const int order = runA.compare(runB); order != 0)
                return order;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j] ? -1 : 1;
            ++i;
            ++j;
        }
    }
    return (i < a.size()) - (j < b.size());
}

} // namespace

bool isNewerRelease(const Release &latest, const QString &version, const QString &build)
{
    if (latest.version == version)
        return compareNumerically(latest.build, build) > 0;
    return compareNumerically(latest.version, version) > 0;
}

VersionManager::VersionManager(QObject *parent)
    : QObject(parent), m_pageAddress(QUrl(QStringLiteral(KORVANE_RELEASE_PAGE)))
{
}

VersionManager::~VersionManager() = default;

void VersionManager::checkForUpdate(Notifications *notifications)
{
    if (!m_pageAddress.isValid() || m_pageAddress.isEmpty())
        return;
    m_notifications = notifications;
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(m_pageAddress);
    request.setTransferTimeout(answerTimeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    QNetworkReply *reply = m_network->get(request);
    // Read as it comes, and no further than a page can be long.
    auto page = std::make_shared<QByteArray>();
    connect(reply, &QNetworkReply::readyRead, this, [reply, page] {
        page->append(reply->read(largestPage + 1 - page->size()));
        if (page->size() > largestPage)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, page] {
        reply->deleteLater();
        if (page->size() <= largestPage)
            page->append(reply->read(largestPage + 1 - page->size()));
        if (page->size() <= largestPage)
            pageArrived(*page);
        emit checkEnded();
    });
}

void VersionManager::pageArrived(const QByteArray &page)
{
    // Whatever went wrong on the way, a page without a release says nothing.
    const std::optional<Release> latest = readReleasePage(page);
    if (!latest || !isNewerRelease(*latest, appVersion(), appBuild()))
        return;
    m_updateMessage = tr("최신 버전: %1 (%2)\n\n현재 버전: %3 (%4)\n\n"
                         "다운로드 페이지로 이동하시겠습니까?")
                          .arg(latest->version, latest->build, appVersion(), appBuild());
    if (m_notifications)
        m_notifications->setIsAlerting(true);
    emit updateMessageChanged();
}

void VersionManager::answered()
{
    m_updateMessage.clear();
    emit updateMessageChanged();
    if (m_notifications)
        m_notifications->setIsAlerting(false);
}

} // namespace korvane
