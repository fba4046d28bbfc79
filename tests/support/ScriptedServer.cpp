#include "support/ScriptedServer.h"

#include <QTimer>

#include <utility>

#include <sys/socket.h>

ScriptedServer::ScriptedServer(QList<Turn> script, QObject *parent)
    : ScriptedServer(std::move(script), QHostAddress(QHostAddress::LocalHost), parent)
{
}

ScriptedServer::ScriptedServer(QList<Turn> script, const QHostAddress &listenOn, QObject *parent)
    : QObject(parent), m_script(std::move(script))
{
    connect(&m_server, &QTcpServer::newConnection, this, &ScriptedServer::onNewConnection);
    m_server.listen(listenOn, 0);
}

QString ScriptedServer::address() const
{
    const QHostAddress host = m_server.serverAddress();
    if (host.protocol() == QAbstractSocket::IPv6Protocol)
        return QStringLiteral("[%1]:%2").arg(host.toString()).arg(port());
    return QStringLiteral("%1:%2").arg(host.toString()).arg(port());
}

QList<ScriptedServer::Turn> ScriptedServer::AcceptingScript(bool withAuth)
{
    QList<Turn> script{Say("220 scripted ESMTP\r\n"), Say("250 scripted\r\n")};
    if (withAuth)
        script << Say("334 VXNlcm5hbWU6\r\n") << Say("334 UGFzc3dvcmQ6\r\n")
               << Say("235 2.7.0 Authentication successful\r\n");
    script << Say("250 2.1.0 Ok\r\n") << Say("250 2.1.5 Ok\r\n")
           << Say("354 End data with <CR><LF>.<CR><LF>\r\n") << Say("250 2.0.0 Ok: queued\r\n")
           << Say("221 2.0.0 Bye\r\n");
    return script;
}

void ScriptedServer::onNewConnection()
{
    QTcpSocket *socket = m_server.nextPendingConnection();
    ++m_connections;
    if (m_peer) { // one client at a time; a second one is turned away
        socket->abort();
        socket->deleteLater();
        return;
    }
    m_peer = socket;
    // Small pieces go out as they are written, not gathered into one segment.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket, &QTcpSocket::readyRead, this, &ScriptedServer::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, [this] { m_peerClosed = true; });
    playNextTurn(); // the greeting
}

void ScriptedServer::onReadyRead()
{
    const QByteArray bytes = m_peer->readAll();
    m_received += bytes;
    m_unparsed += bytes;
    for (;;) {
        if (m_inData) {
            const qsizetype end = m_unparsed.indexOf("\r\n.\r\n");
            const bool endsAtStart = m_unparsed.startsWith(".\r\n") && m_data.isEmpty();
            if (end < 0 && !endsAtStart)
                return;
            const qsizetype cut = endsAtStart ? 3 : end + 5;
            m_data += m_unparsed.left(cut);
            m_unparsed.remove(0, cut);
            m_inData = false;
            playNextTurn(".");
            continue;
        }
        const qsizetype end = m_unparsed.indexOf("\r\n");
        if (end < 0)
            return;
        m_commands.append(m_unparsed.left(end));
        m_unparsed.remove(0, end + 2);
        if (m_lastWas354) {
            // The command after a 354 reply opens the data, which ends with a line ".".
            m_inData = true;
            m_lastWas354 = false;
            m_data = m_commands.takeLast() + "\r\n";
            if (m_data == ".\r\n") {
                m_inData = false;
                playNextTurn(".");
            }
            continue;
        }
        playNextTurn(m_commands.last());
    }
}

void ScriptedServer::playNextTurn(const QByteArray &command)
{
    if (m_next >= m_script.size() || !m_peer)
        return;
    const Turn turn = m_script.at(m_next++);
    if (turn.held) {
        m_held = turn;
        m_heldCommand = command;
        emit holding();
    } else if (turn.delayMs > 0)
        QTimer::singleShot(turn.delayMs, this, [this, turn, command] { play(turn, command); });
    else
        play(turn, command);
}

void ScriptedServer::release()
{
    if (!m_held)
        return;
    const Turn turn = *std::exchange(m_held, std::nullopt);
    play(turn, m_heldCommand);
}

void ScriptedServer::play(Turn turn, const QByteArray &command)
{
    if (!m_peer || turn.silent)
        return;
    if (turn.answer)
        turn.reply = turn.answer(command);
    m_lastWas354 = turn.reply.startsWith("354");
    if (turn.pieceSize > 0)
        sendPiece(turn.reply, turn.pieceSize, turn.pieceDelayMs, turn);
    else {
        m_peer->write(turn.reply);
        finishTurn(turn);
    }
}

void ScriptedServer::sendPiece(QByteArray rest, int size, int delayMs, Turn turn)
{
    if (!m_peer)
        return;
    m_peer->write(rest.left(size));
    m_peer->flush();
    rest.remove(0, size);
    if (rest.isEmpty() && turn.endless) {
        if (m_peer->state() != QAbstractSocket::ConnectedState)
            return; // the client has hung up at last
        rest = turn.reply;
    } else if (rest.isEmpty()) {
        finishTurn(turn);
        return;
    }
    QTimer::singleShot(delayMs, this, [=, this] { sendPiece(rest, size, delayMs, turn); });
}

void ScriptedServer::finishTurn(const Turn &turn)
{
    if (!m_peer)
        return;
    if (turn.resetAfter) {
        m_peer->flush();
        // A zero linger time turns the close into a reset.
        const linger noLinger{1, 0};
        ::setsockopt(int(m_peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &noLinger,
                     sizeof noLinger);
        m_peer->abort();
    } else if (turn.closeAfter) {
        m_peer->flush();
        m_peer->disconnectFromHost();
    }
}
