#pragma once

#include <QByteArray>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdint>

// The far end of a socket element in a test: a real listening socket on a
// free loopback port, and the server side of the connection it accepts.
class TcpPeer : public QObject
{
    Q_OBJECT
public:
    explicit TcpPeer(QObject *parent = nullptr);

    std::int32_t port() const { return m_server.serverPort(); }

    // Waits, running the event loop, for the next connection; null on time-out.
    QTcpSocket *waitForClient(int timeoutMs = 10000);
    // Everything the clients have sent so far, in arrival order.
    QByteArray received() const { return m_received; }
    bool waitForReceived(qsizetype size, int timeoutMs = 10000);
    // Waits until the client has closed its end of the connection.
    static bool waitForClientGone(QTcpSocket *client, int timeoutMs = 10000);

    // A loopback port on which nothing listens.
    static std::int32_t ClosedPort();

private:
    QTcpServer m_server;
    QByteArray m_received;
};
