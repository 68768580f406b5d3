#include "httppage.h"

#include <QTcpSocket>

namespace korvane::test {

HttpPage::HttpPage(QByteArray body) : m_body(std::move(body))
{
    QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
        QTcpSocket *socket = m_server.nextPendingConnection();
        auto request = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
            *request += socket->readAll();
            if (!request->contains("\r\n\r\n"))
                return;
            ++m_requests;
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                          "Connection: close\r\nContent-Length: " +
                          QByteArray::number(m_body.size()) + "\r\n\r\n" + m_body);
            socket->disconnectFromHost();
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    });
    m_server.listen(QHostAddress::LocalHost);
}

QUrl HttpPage::address(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

} // namespace korvane::test
