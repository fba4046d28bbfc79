#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>
#include <QTcpSocket>
#include <optional>

#include <functional>

// A server on a free loopback port that plays a script: the greeting, then
// one reply for each command the client completes. It records every byte it
// receives, so a test can check what went on the wire.
//
// Given a certificate (setTls), it can also speak TLS, well or badly: a turn
// then hands the connection over to TLS after its reply (STARTTLS), or the
// connection starts with TLS before the greeting (implicit TLS). The client's
// connection then runs through a relay inside the server, so that the bytes
// as they crossed the loopback (encrypted after a handshake) are kept apart
// from what the script read after decrypting.
class ScriptedServer : public QObject
{
    Q_OBJECT
public:
    // How the server takes up TLS after a turn's reply (or before the greeting).
    enum class Tls {
        None,
        Handshake,   // a real handshake; the script goes on encrypted
        Garbage,     // the client's handshake is answered with plain text
        CloseMidway, // the handshake starts, the server hangs up part way through it
        Stall,       // the client's handshake is never answered
        // The server accepts TLS 1.0 only. Debian's OpenSSL cannot make a TLS
        // 1.0 session at its default security level at all, so this ends
        // in the server's "protocol version" alert, as an old server's would.
        V1_0Only,
        // The client's handshake is answered with a fatal "internal error"
        // alert (80), as by a server that cannot set up TLS at all.
        AlertAtOnce,
        // The server (TLS 1.2) sends its ServerHello and Certificate, then
        // the same alert instead of its ServerKeyExchange: a server that
        // fails to sign its part of the handshake, as Debian's OpenSMTPD 6.8
        // does with OpenSSL 3.
        AlertAfterHello,
    };

    // What the server does when its turn comes.
    struct Turn
    {
        QByteArray reply;        // sent as it stands (may hold several replies)
        int pieceSize = 0;       // > 0: sent in pieces of this many bytes...
        int pieceDelayMs = 0;    // ...with this delay between pieces
        int delayMs = 0;         // wait before answering
        bool closeAfter = false; // close the connection after the reply
        bool resetAfter = false; // reset (RST) the connection after the reply
        bool silent = false;     // answer nothing at all
        bool endless = false;    // send the reply over and over until the client hangs up
        bool held = false;       // wait for release() before answering
        // > set: the reply is computed from the command line that called for
        // it ("." for the end of the data, empty for the greeting).
        std::function<QByteArray(const QByteArray &command)> answer = nullptr;
        // After the reply, the TLS step (setTls gives the certificate). Bytes
        // in `reply` after the first reply reach the client in plain text in
        // the same segment, just before the handshake: an injection.
        Tls tls = Tls::None;
    };

    static Turn Say(const QByteArray &reply) { return Turn{reply}; }
    static Turn SayThenClose(const QByteArray &reply) { return Turn{reply, 0, 0, 0, true}; }
    static Turn SayInPieces(const QByteArray &reply, int size, int delayMs = 0)
    {
        return Turn{reply, size, delayMs};
    }
    // A server that judges each command: one turn that answers from the command.
    static Turn Answer(std::function<QByteArray(const QByteArray &command)> answer)
    {
        Turn turn;
        turn.answer = std::move(answer);
        return turn;
    }
    static Turn SayThenTls(const QByteArray &reply, Tls tls = Tls::Handshake)
    {
        Turn turn{reply};
        turn.tls = tls;
        return turn;
    }
    static Turn Silence() { return Turn{{}, 0, 0, 0, false, false, true}; }
    // A server that never stops talking: reply again and again, one copy every delayMs.
    static Turn SayForever(const QByteArray &reply, int delayMs = 1)
    {
        return Turn{reply, int(reply.size()), delayMs, 0, false, false, false, true};
    }

    explicit ScriptedServer(QList<Turn> script, QObject *parent = nullptr);
    // The same on another local address, for example the IPv6 loopback.
    ScriptedServer(QList<Turn> script, const QHostAddress &listenOn, QObject *parent = nullptr);
    // The sockets go without telling this server: their last signals would
    // reach it half destroyed.
    ~ScriptedServer() override;

    // The certificate for TLS. With implicit other than None, every connection
    // starts with that TLS step, and the greeting follows a finished handshake.
    // Call before the client connects.
    void setTls(const QSslCertificate &certificate, const QSslKey &key, Tls implicit = Tls::None);
    // A handshake with the client has finished.
    bool encrypted() const { return m_encrypted; }
    // The bytes the client sent and the bytes sent to it, as they crossed the
    // loopback: after a handshake, encrypted. (Without setTls, rawReceived()
    // is received() and rawSent() stays empty.)
    QByteArray rawReceived() const { return m_rawReceived; }
    QByteArray rawSent() const { return m_rawSent; }

    quint16 port() const { return m_server.serverPort(); }
    QString address() const; // "127.0.0.1:<port>", or "[::1]:<port>" on the IPv6 loopback
    bool listening() const { return m_server.isListening(); }
    // What the script read: every byte received, decrypted after a handshake.
    QByteArray received() const { return m_received; }
    // The command lines received (data excluded), without their CR LF.
    QList<QByteArray> commands() const { return m_commands; }
    // The message data between DATA and the end-of-data line, as received.
    QByteArray data() const { return m_data; }
    int connections() const { return m_connections; }
    bool peerClosed() const { return m_peerClosed; }

    // The stock dialogue of a server that accepts everything.
    static QList<Turn> AcceptingScript(bool withAuth);

    // Plays the held turn that holding() announced.
    void release();

signals:
    // A held turn has come and waits for release().
    void holding();

private:
    // Accepts the relay's connections as TLS-capable sockets.
    class SslListener : public QTcpServer
    {
    protected:
        void incomingConnection(qintptr descriptor) override;
    };

    void onNewConnection();
    void onPeer(QTcpSocket *socket);
    void relayToClient();
    QByteArray upToCertificate(const QByteArray &bytes, qsizetype relayedBefore);
    void closeClient();
    void startTls(Tls tls);
    void write(const QByteArray &bytes);
    void onReadyRead();
    void playNextTurn(const QByteArray &command = {});
    void play(Turn turn, const QByteArray &command);
    void sendPiece(QByteArray rest, int size, int delayMs, Turn turn);
    void finishTurn(const Turn &turn);

    QTcpServer m_server;
    QPointer<QTcpSocket> m_peer;
    QList<Turn> m_script;
    qsizetype m_next = 0;
    std::optional<Turn> m_held;
    QByteArray m_heldCommand; // what the held reply answers
    QByteArray m_received;
    QByteArray m_unparsed;
    QList<QByteArray> m_commands;
    QByteArray m_data;
    bool m_inData = false;
    bool m_lastWas354 = false;
    int m_connections = 0;
    bool m_peerClosed = false;

    SslListener m_inner;           // the relay's far end, where TLS is spoken
    QPointer<QTcpSocket> m_client; // the client's own connection, while relayed
    QPointer<QTcpSocket> m_relay;
    QSslCertificate m_certificate;
    QSslKey m_key;
    Tls m_implicit = Tls::None;
    Tls m_awaiting = Tls::None; // Garbage or Stall: what the client's handshake meets
    bool m_encrypted = false;
    bool m_resetClient = false;
    qsizetype m_plainWritten = 0;
    qsizetype m_cutAt = -1; // > -1: the client's connection ends after so many bytes
    bool m_alertAfterHello = false;
    qsizetype m_handshakeFrom = 0; // where the server's handshake starts on the client's connection
    QByteArray m_flight;           // the server's handshake records not relayed yet
    QByteArray m_rawReceived;
    QByteArray m_rawSent;
};

// A server's whole part in a dialogue, and the command lines a client sends,
// as the data-driven tests pass them around.
using Turn = ScriptedServer::Turn;
using Script = QList<ScriptedServer::Turn>;
using Commands = QList<QByteArray>;
Q_DECLARE_METATYPE(Script)
