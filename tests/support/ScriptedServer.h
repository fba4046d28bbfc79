#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <optional>

#include <functional>

// A server on a free loopback port that plays a script: the greeting, then
// one reply for each command the client completes. It records every byte it
// receives, so a test can check what went on the wire.
class ScriptedServer : public QObject
{
    Q_OBJECT
public:
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
    static Turn Silence() { return Turn{{}, 0, 0, 0, false, false, true}; }
    // A server that never stops talking: reply again and again, one copy every delayMs.
    static Turn SayForever(const QByteArray &reply, int delayMs = 1)
    {
        return Turn{reply, int(reply.size()), delayMs, 0, false, false, false, true};
    }

    explicit ScriptedServer(QList<Turn> script, QObject *parent = nullptr);
    // The same on another local address, for example the IPv6 loopback.
    ScriptedServer(QList<Turn> script, const QHostAddress &listenOn, QObject *parent = nullptr);

    quint16 port() const { return m_server.serverPort(); }
    QString address() const; // "127.0.0.1:<port>", or "[::1]:<port>" on the IPv6 loopback
    bool listening() const { return m_server.isListening(); }
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
    void onNewConnection();
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
};

// A server's whole part in a dialogue, and the command lines a client sends,
// as the data-driven tests pass them around.
using Turn = ScriptedServer::Turn;
using Script = QList<ScriptedServer::Turn>;
using Commands = QList<QByteArray>;
Q_DECLARE_METATYPE(Script)
