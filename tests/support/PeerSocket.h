#pragma once

#include "platform/SocketElement.h"

#include <QByteArray>
#include <QStringDecoder>

// A socket element whose server is played in the same process instead of
// over a network, so that a test or the fuzzer can feed the engine any
// server stream: what the client sends is kept for TakeSent, Receive hands
// it bytes as if read from the connection, PeerClose and Fail end it as a
// peer's close or a socket failure would, and PeerEncrypted ends a handshake
// the client began. Connect reports the connection from the event loop, as a
// network would.
class PeerSocket : public SocketElement
{
    Q_OBJECT
public:
    using SocketElement::SocketElement;

    void Connect() override;
    void ConnectEncrypted() override;
    void StartClientEncryption(const QString &peerName) override;
    bool PlainBytesPending() const override;
    bool IsEncrypted() const override { return m_encrypted; }
    const TlsReport &TlsSession() const override { return m_report; }
    const TlsFailure &HandshakeFailure() const override { return m_failure; }
    QString GetData() override;
    void SendData(const QString &Text) override;
    void Flush() override {}
    SocketState State() const override { return m_state; }
    QString RemoteHostIP() const override { return QStringLiteral("127.0.0.1"); }
    QHostAddress LocalHostAddress() const override { return {}; }
    void Close() override;

    // The server's side.
    void Receive(const QByteArray &bytes);
    void PeerClose();
    void PeerEncrypted(const TlsReport &report);
    void Fail(QAbstractSocket::SocketError error, const QString &description);
    // What the client sent since the last call.
    QByteArray TakeSent();
    bool Handshaking() const { return m_handshaking; }

private:
    class Utf8Decoder : public QStringDecoder
    {
    public:
        Utf8Decoder() : QStringDecoder(QStringDecoder::Utf8) {}
        bool holdsPartialCharacter() const { return state.remainingChars != 0; }
    };

    void reset();

    SocketState m_state = SocketState::Closed;
    QByteArray m_received;
    QByteArray m_sent;
    Utf8Decoder m_decoder;
    bool m_handshaking = false;
    bool m_encrypted = false;
    TlsReport m_report;
    TlsFailure m_failure;
};
