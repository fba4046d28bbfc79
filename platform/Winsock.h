#pragma once

#include "platform/SocketState.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringDecoder>
#include <QTcpSocket>
#include <cstdint>

// One asynchronous TCP client element of a socket array. It keeps its own
// state value, because QTcpSocket forgets that the peer closed or that an
// error happened as soon as it drops back to "unconnected".
class Winsock : public QObject
{
    Q_OBJECT
public:
    explicit Winsock(QObject *parent = nullptr);

    QString RemoteHost;
    std::int32_t RemotePort = 0;
    std::int32_t LocalPort = 0;

    // Starts resolving and connecting; the outcome arrives as Connect or Error.
    void Connect();
    // Everything received so far, decoded from UTF-8; afterwards nothing is pending.
    QString GetData();
    // Queues Text as UTF-8 after whatever was queued before.
    void SendData(const QString &Text);
    SocketState State() const { return m_state; }
    // The address the connection reached, once connected.
    QString RemoteHostIP() const { return m_socket.peerAddress().toString(); }
    // Closes the connection at once; the state becomes Closed.
    void Close();

    // Bytes waiting to be read with GetData.
    qsizetype BytesReceived() const { return m_received.size(); }

    // A peer played in the same process instead of over a network, so that
    // the fuzzer can feed the engine millions of server streams: the element
    // counts as connected, what it sends is appended to *sink, Receive hands
    // it bytes as if read from the connection, and PeerClose ends it as a
    // peer's close would. Connect and Close detach the peer again.
    void AttachTestPeer(QByteArray *sink);
    void Receive(const QByteArray &bytes);
    void PeerClose();

signals:
    void connected();
    void dataArrival(std::int32_t bytesTotal);
    void peerClosed();
    void error(std::int32_t number, const QString &description);
    void sendProgress(std::int32_t bytesSent, std::int32_t bytesRemaining);

private:
    void onStateChanged(QAbstractSocket::SocketState state);
    void onReadyRead();
    void onDisconnected();
    void onErrorOccurred(QAbstractSocket::SocketError socketError);
    void onBytesWritten(qint64 bytes);

    QTcpSocket m_socket;
    SocketState m_state = SocketState::Closed;
    QByteArray m_received;
    QStringDecoder m_decoder{QStringDecoder::Utf8};
    bool m_closing = false;
    QByteArray *m_testSink = nullptr;
};
