#include "support/ScriptedServer.h"

#include <QSslSocket>
#include <QTimer>

#include <algorithm>
#include <utility>

#include <sys/socket.h>

namespace {
// Plain text where the client expects the server's part of a handshake.
constexpr char GarbageReply[] = "HTTP/1.1 400 Bad Request\r\nConnection: close\r\n\r\n";
// Far enough into the server's handshake to be past its first record header.
constexpr qsizetype MidwayBytes = 20;
// A TLS record holding a fatal (2) "internal error" alert (80).
const QByteArray InternalErrorAlert("\x15\x03\x03\x00\x02\x02\x50", 7);
constexpr qsizetype RecordHeader = 5;
constexpr char HandshakeRecord = 22;
constexpr char ServerHello = 2;
constexpr char Certificate = 11;

void ResetOnClose(QTcpSocket *socket)
{
    // A zero linger time turns the close into a reset.
    const linger noLinger{1, 0};
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &noLinger,
                 sizeof noLinger);
}
} // namespace

void ScriptedServer::SslListener::incomingConnection(qintptr descriptor)
{
    auto *socket = new QSslSocket(this);
    if (socket->setSocketDescriptor(descriptor))
        addPendingConnection(socket);
    else
        socket->deleteLater();
}

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

ScriptedServer::~ScriptedServer()
{
    for (QAbstractSocket *socket : findChildren<QAbstractSocket *>())
        socket->disconnect(this);
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

void ScriptedServer::setTls(const QSslCertificate &certificate, const QSslKey &key, Tls implicit)
{
    m_certificate = certificate;
    m_key = key;
    m_implicit = implicit;
    if (!m_inner.isListening()) {
        m_inner.listen(QHostAddress::LocalHost, 0);
        connect(&m_inner, &QTcpServer::newConnection, this,
                [this] { onPeer(m_inner.nextPendingConnection()); });
    }
}

void ScriptedServer::onNewConnection()
{
    QTcpSocket *socket = m_server.nextPendingConnection();
    ++m_connections;
    if (m_peer || m_client) { // one client at a time; a second one is turned away
        socket->abort();
        socket->deleteLater();
        return;
    }
    // Small pieces go out as they are written, not gathered into one segment.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (!m_inner.isListening()) {
        onPeer(socket);
        return;
    }
    // Relayed: whatever crosses the client's connection is kept as it is.
    m_client = socket;
    m_relay = new QTcpSocket(this);
    m_relay->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(m_client, &QTcpSocket::readyRead, this, [this] {
        const QByteArray bytes = m_client->readAll();
        m_rawReceived += bytes;
        if (m_relay && m_relay->isOpen())
            m_relay->write(bytes);
    });
    connect(m_client, &QTcpSocket::disconnected, this, [this] {
        m_peerClosed = true;
        if (m_relay)
            m_relay->disconnectFromHost();
    });
    connect(m_relay, &QTcpSocket::readyRead, this, &ScriptedServer::relayToClient);
    connect(m_relay, &QTcpSocket::disconnected, this, [this] {
        relayToClient();
        closeClient();
    });
    m_relay->connectToHost(QHostAddress::LocalHost, m_inner.serverPort());
}

void ScriptedServer::onPeer(QTcpSocket *socket)
{
    if (!socket)
        return;
    m_peer = socket;
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket, &QTcpSocket::readyRead, this, &ScriptedServer::onReadyRead);
    if (!m_client)
        connect(socket, &QTcpSocket::disconnected, this, [this] { m_peerClosed = true; });
    if (auto *ssl = qobject_cast<QSslSocket *>(socket)) {
        connect(ssl, &QSslSocket::encrypted, this, [this] {
            m_encrypted = true;
            if (m_implicit != Tls::None && m_next == 0)
                playNextTurn(); // the greeting, now encrypted
        });
    }
    if (m_implicit != Tls::None)
        startTls(m_implicit);
    else
        playNextTurn(); // the greeting
}

void ScriptedServer::relayToClient()
{
    if (!m_relay || !m_client || !m_client->isOpen())
        return;
    QByteArray bytes = m_relay->readAll();
    if (m_alertAfterHello) {
        // The plain reply before the handshake passes as it is.
        const qsizetype plain =
            std::clamp(m_handshakeFrom - m_rawSent.size(), qsizetype(0), bytes.size());
        bytes = bytes.left(plain) + upToCertificate(bytes.mid(plain), m_rawSent.size() + plain);
    }
    const bool cut = m_cutAt >= 0 && m_rawSent.size() + bytes.size() >= m_cutAt;
    if (cut)
        bytes.truncate(m_cutAt - m_rawSent.size());
    m_rawSent += bytes;
    m_client->write(bytes);
    if (cut) {
        m_cutAt = -1;
        closeClient();
    }
}

// The server's records as far as its Certificate, then the alert in place of
// the next one; the client's connection ends there.
QByteArray ScriptedServer::upToCertificate(const QByteArray &bytes, qsizetype relayedBefore)
{
    m_flight += bytes;
    QByteArray relayed;
    while (m_flight.size() > RecordHeader) {
        const qsizetype length =
            RecordHeader + (qsizetype(uchar(m_flight.at(3))) << 8 | uchar(m_flight.at(4)));
        if (m_flight.size() < length)
            break;
        const char type = m_flight.at(RecordHeader);
        if (m_flight.at(0) != HandshakeRecord || (type != ServerHello && type != Certificate)) {
            relayed += InternalErrorAlert;
            m_cutAt = relayedBefore + relayed.size();
            m_alertAfterHello = false;
            m_flight.clear();
            break;
        }
        relayed += m_flight.left(length);
        m_flight.remove(0, length);
    }
    return relayed;
}

void ScriptedServer::closeClient()
{
    if (!m_client || m_client->state() != QAbstractSocket::ConnectedState)
        return;
    m_client->flush();
    if (m_resetClient) {
        ResetOnClose(m_client);
        m_client->abort();
    } else {
        m_client->disconnectFromHost();
    }
}

void ScriptedServer::startTls(Tls tls)
{
    auto *ssl = qobject_cast<QSslSocket *>(m_peer.data());
    switch (tls) {
    case Tls::None:
        return;
    case Tls::Garbage:
    case Tls::Stall:
    case Tls::AlertAtOnce:
        m_awaiting = tls;
        return;
    case Tls::AlertAfterHello:
        m_alertAfterHello = true;
        m_handshakeFrom = m_plainWritten;
        break;
    case Tls::CloseMidway:
        m_cutAt = m_plainWritten + MidwayBytes;
        break;
    case Tls::Handshake:
    case Tls::V1_0Only:
        break;
    }
    if (!ssl)
        return; // no certificate was given: nothing to offer
    ssl->setLocalCertificate(m_certificate);
    ssl->setPrivateKey(m_key);
    ssl->setPeerVerifyMode(QSslSocket::VerifyNone);
    if (tls == Tls::AlertAfterHello)
        ssl->setProtocol(QSsl::TlsV1_2); // its ServerHello and Certificate go in clear
    if (tls == Tls::V1_0Only) {
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        ssl->setProtocol(QSsl::TlsV1_0);
        QT_WARNING_POP
    }
    ssl->startServerEncryption();
}

void ScriptedServer::write(const QByteArray &bytes)
{
    if (!m_encrypted)
        m_plainWritten += bytes.size();
    m_peer->write(bytes);
}

void ScriptedServer::onReadyRead()
{
    const QByteArray bytes = m_peer->readAll();
    if (!m_client)
        m_rawReceived += bytes;
    if (m_awaiting == Tls::Garbage) {
        m_awaiting = Tls::Stall; // answered once; whatever follows is ignored
        write(GarbageReply);
        return;
    }
    if (m_awaiting == Tls::AlertAtOnce) {
        m_awaiting = Tls::Stall;
        write(InternalErrorAlert);
        m_peer->flush();
        m_peer->disconnectFromHost();
        return;
    }
    if (m_awaiting == Tls::Stall)
        return;
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
        write(turn.reply);
        finishTurn(turn);
    }
}

void ScriptedServer::sendPiece(QByteArray rest, int size, int delayMs, Turn turn)
{
    if (!m_peer)
        return;
    write(rest.left(size));
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
    if (turn.resetAfter && m_client) {
        // The relay passes the reply on, then resets the client's connection.
        m_resetClient = true;
        m_peer->flush();
        m_peer->disconnectFromHost();
    } else if (turn.resetAfter) {
        m_peer->flush();
        ResetOnClose(m_peer);
        m_peer->abort();
    } else if (turn.closeAfter) {
        m_peer->flush();
        m_peer->disconnectFromHost();
    }
    startTls(turn.tls);
}
