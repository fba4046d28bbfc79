#pragma once

#include "platform/SocketElement.h"
#include "platform/TlsSessions.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslError>
#include <QSslSocket>
#include <QString>
#include <QStringDecoder>
#include <cstdint>

// One asynchronous TCP client element of a socket array. It keeps its own
// state value, because QSslSocket forgets that the peer closed or that an
// error happened as soon as it drops back to "unconnected".
//
// The connection can be encrypted (TLS) either on the way (StartClientEncryption,
// the STARTTLS upgrade) or from its start (ConnectEncrypted, implicit TLS).
// Events of an encrypted connection:
//   StartClientEncryption:  ... DataArrival (the "220") -> StartClientEncryption
//                           -> encrypted -> DataArrival (decrypted) ...
//   ConnectEncrypted:       connected (TCP is up; nothing may be read yet)
//                           -> encrypted -> DataArrival (the greeting, decrypted)
// The state stays Connected during the handshake; SendData then queues the
// text, which goes out encrypted once the handshake is done. A failed handshake,
// and the peer closing during it, is an error event with the handshake's own
// text (state Error). A certificate that fails verification does not
// stop the handshake: the faults are kept for the report (TlsSession).
class Winsock : public SocketElement
{
    Q_OBJECT
public:
    explicit Winsock(QObject *parent = nullptr);
    // Raises no event while going: closing an encrypted connection still
    // talks to the peer (the TLS close alert).
    ~Winsock() override;

    // Starts resolving and connecting; the outcome arrives as Connect or Error.
    void Connect() override;
    // Connect, and as soon as the connection stands, the TLS handshake with
    // RemoteHost as the name the certificate must carry.
    void ConnectEncrypted() override;
    // Starts the TLS handshake on the open, unencrypted connection; peerName is
    // the host name typed, sent to the server (SNI) and checked against the
    // certificate. The outcome arrives as encrypted or error.
    //
    // Nothing that arrived in plain text may ever be taken as part of the
    // encrypted session (a peer could inject replies before the handshake).
    // So this refuses (run-time error, connection unchanged) while plain bytes
    // are unread, PlainBytesPending(); the caller must also check what it has
    // read but not yet used. Plain bytes that arrive after this call are fed to
    // the handshake, which then fails: they never come out of GetData.
    void StartClientEncryption(const QString &peerName) override;
    // Received plain-text bytes that GetData has not handed out yet, including
    // the first bytes of a character that is not complete.
    bool PlainBytesPending() const override;
    // The handshake has finished; everything read since was encrypted.
    bool IsEncrypted() const override { return m_encrypted; }
    // The session and certificate of the finished handshake; empty before.
    const TlsReport &TlsSession() const override { return m_report; }
    const TlsFailure &HandshakeFailure() const override { return m_failure; }
    // Everything received so far, decoded from UTF-8; afterwards nothing is pending.
    QString GetData() override;
    // Queues Text as UTF-8 after whatever was queued before.
    void SendData(const QString &Text) override;
    // Hands what is queued to the network now rather than when the event
    // loop next runs (encrypted first, inside TLS).
    void Flush() override;
    SocketState State() const override { return m_state; }
    // The address the connection reached, once connected.
    QString RemoteHostIP() const override
    {
        return m_socket ? m_socket->peerAddress().toString() : QString();
    }
    QHostAddress LocalHostAddress() const override
    {
        return m_socket ? m_socket->localAddress() : QHostAddress();
    }
    // Closes the connection at once; the state becomes Closed.
    void Close() override;

    // Bytes waiting to be read with GetData.
    qsizetype BytesReceived() const { return m_received.size(); }

private:
    void onStateChanged(QAbstractSocket::SocketState state);
    void onReadyRead();
    void receive(const QByteArray &bytes);
    void onDisconnected();
    void onErrorOccurred(QAbstractSocket::SocketError socketError);
    void onBytesWritten(qint64 bytes);
    void onEncrypted();
    void onAlert(bool received, QSsl::AlertLevel level, QSsl::AlertType type,
                 const QString &description);
    void noteHandshakeFailure(QAbstractSocket::SocketError socketError);
    void beginHandshake(const QString &peerName);
    void resetSession();
    void keepSession();
    QSslSocket &socket();
    bool socketOpen() const;

    // A UTF-8 decoder that tells whether it holds the start of a character.
    class Utf8Decoder : public QStringDecoder
    {
    public:
        Utf8Decoder() : QStringDecoder(QStringDecoder::Utf8) {}
        bool holdsPartialCharacter() const { return state.remainingChars != 0; }
    };

    QPointer<QSslSocket> m_socket; // made by socket(), on the first connection
    SocketState m_state = SocketState::Closed;
    QByteArray m_received;
    Utf8Decoder m_decoder;
    bool m_closing = false;
    bool m_implicitTls = false;
    bool m_handshaking = false;
    bool m_encrypted = false;
    QList<QSslError> m_certificateFaults;
    TlsReport m_report;
    TlsSessions::Server m_server; // the server of the handshake, as the sessions know it
    bool m_offeredSession = false;
    TlsFailure m_alert; // the first alert of the handshake, in either direction
    TlsFailure m_failure;
};
