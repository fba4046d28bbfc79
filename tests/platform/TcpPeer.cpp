#include "TcpPeer.h"

#include <QTest>

TcpPeer::TcpPeer(QObject *parent) : QObject(parent)
{
    m_server.listen(QHostAddress::LocalHost, 0);
}

QTcpSocket *TcpPeer::waitForClient(int timeoutMs)
{
    if (!QTest::qWaitFor([this] { return m_server.hasPendingConnections(); }, timeoutMs))
        return nullptr;
    QTcpSocket *client = m_server.nextPendingConnection();
    if (client) {
        m_received += client->readAll();
        connect(client, &QIODevice::readyRead, this,
                [this, client] { m_received += client->readAll(); });
    }
    return client;
}

bool TcpPeer::waitForReceived(qsizetype size, int timeoutMs)
{
    return QTest::qWaitFor([this, size] { return m_received.size() >= size; }, timeoutMs);
}

bool TcpPeer::waitForClientGone(QTcpSocket *client, int timeoutMs)
{
    return QTest::qWaitFor(
        [client] { return client->state() == QAbstractSocket::UnconnectedState; }, timeoutMs);
}

std::int32_t TcpPeer::ClosedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const std::int32_t port = probe.serverPort();
    probe.close();
    return port;
}
