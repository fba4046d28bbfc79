#pragma once

#include "platform/SocketState.h"
#include "platform/TlsFailure.h"
#include "platform/TlsReport.h"

#include <QAbstractSocket>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <cstdint>

// One element of a socket array as the engine uses it: the operations and
// events of an asynchronous TCP client. Winsock is the one that talks to a
// network; a test can put a peer of its own in its place (see
// SocketArray::SetElementMaker), and the engine cannot tell the two apart.
class SocketElement : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    QString RemoteHost;
    std::int32_t RemotePort = 0;
    std::int32_t LocalPort = 0;

    // Starts resolving and connecting; the outcome arrives as connected or error.
    virtual void Connect() = 0;
    // Connect, and as soon as the connection stands, the TLS handshake with
    // RemoteHost as the name the certificate must carry.
    virtual void ConnectEncrypted() = 0;
    // Starts the TLS handshake on the open, unencrypted connection; refuses
    // (run-time error) while plain bytes are unread. The outcome arrives as
    // encrypted or error.
    virtual void StartClientEncryption(const QString &peerName) = 0;
    // Received plain-text bytes that GetData has not handed out yet.
    virtual bool PlainBytesPending() const = 0;
    // The handshake has finished; everything read since was encrypted.
    virtual bool IsEncrypted() const = 0;
    // The session and certificate of the finished handshake; empty before.
    virtual const TlsReport &TlsSession() const = 0;
    // Why the last handshake failed; Cause::None until one has.
    virtual const TlsFailure &HandshakeFailure() const = 0;
    // Everything received so far, decoded from UTF-8; afterwards nothing is pending.
    virtual QString GetData() = 0;
    // Queues Text as UTF-8 after whatever was queued before.
    virtual void SendData(const QString &Text) = 0;
    // Hands what is queued to the network now.
    virtual void Flush() = 0;
    virtual SocketState State() const = 0;
    // The address the connection reached, once connected.
    virtual QString RemoteHostIP() const = 0;
    // This end of the connection, once connected; null where there is no network.
    virtual QHostAddress LocalHostAddress() const = 0;
    // Closes the connection at once; the state becomes Closed.
    virtual void Close() = 0;

signals:
    void connected();
    void encrypted();
    void dataArrival(std::int32_t bytesTotal);
    void peerClosed();
    // Qt's own value of the failure and its description.
    void error(QAbstractSocket::SocketError error, const QString &description);
    void sendProgress(std::int32_t bytesSent, std::int32_t bytesRemaining);
};
