#pragma once

#include <QByteArray>
#include <QTcpServer>
#include <QUrl>

namespace korvane::test {

// A web server on this machine that answers every request with one page, and counts them.
class HttpPage
{
public:
    explicit HttpPage(QByteArray body);
    QUrl address(const QString &path) const;
    int requests() const { return m_requests; }

private:
    QTcpServer m_server;
    QByteArray m_body;
    int m_requests = 0;
};

} // namespace korvane::test
