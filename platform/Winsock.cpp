#include "platform/Winsock.h"

#include "platform/Services.h"
#include "util/RuntimeError.h"

#include <QSslCipher>

namespace {
QString ProtocolName(const QSslSocket &socket)
{
    switch (socket.sessionProtocol()) {
    case QSsl::TlsV1_3:
        return QStringLiteral("TLS 1.3");
    case QSsl::TlsV1_2:
        return QStringLiteral("TLS 1.2");
    default:
        return socket.sessionCipher().protocolString(); // older ones, by OpenSSL's name
    }
}

RuntimeError WrongState()
{
    return RuntimeError(ErrorNumber::WrongProtocolOrState,
                        QStringLiteral("Wrong protocol or connection state for the "
                                       "requested transaction or request"));
}
} // namespace

Winsock::Winsock(QObject *parent) : SocketElement(parent) {}

// The TLS-capable socket comes with the first connection: making one loads
// the TLS library, which a window that has not tested yet need not pay for
// at start-up.
QSslSocket &Winsock::socket()
{
    if (m_socket)
        return *m_socket;
    m_socket = new QSslSocket(this);
    connect(m_socket, &QAbstractSocket::stateChanged, this, &Winsock::onStateChanged);
    connect(m_socket, &QAbstractSocket::connected, this, [this] {
        m_state = SocketState::Connected;
        emit connected();
        // The handler may have closed the element already.
        if (m_implicitTls && m_state == SocketState::Connected && !m_handshaking)
            beginHandshake(RemoteHost);
    });
    connect(m_socket, &QIODevice::readyRead, this, &Winsock::onReadyRead);
    connect(m_socket, &QAbstractSocket::disconnected, this, &Winsock::onDisconnected);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &Winsock::onErrorOccurred);
    connect(m_socket, &QIODevice::bytesWritten, this, &Winsock::onBytesWritten);
    connect(m_socket, &QSslSocket::encrypted, this, &Winsock::onEncrypted);
    connect(m_socket, &QSslSocket::alertReceived, this,
            [this](QSsl::AlertLevel level, QSsl::AlertType type, const QString &description) {
                onAlert(true, level, type, description);
            });
    connect(m_socket, &QSslSocket::alertSent, this,
            [this](QSsl::AlertLevel level, QSsl::AlertType type, const QString &description) {
                onAlert(false, level, type, description);
            });
    // Verification runs against the system's store and the name typed, but
    // its verdict only goes into the report: users test their own servers,
    // which often carry self-made certificates.
    connect(m_socket, &QSslSocket::sslErrors, this, [this](const QList<QSslError> &faults) {
        m_certificateFaults = faults;
        m_socket->ignoreSslErrors();
    });
    return *m_socket;
}

bool Winsock::socketOpen() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

Winsock::~Winsock()
{
    if (m_socket)
        m_socket->disconnect(this);
}

void Winsock::Connect()
{
    if (m_state != SocketState::Closed)
        throw RuntimeError(ErrorNumber::InvalidOperationAtState,
                           QStringLiteral("Invalid operation at current state"));
    if (RemotePort < 1 || RemotePort > 65535)
        throw RuntimeError(ErrorNumber::InvalidArgument, QStringLiteral("Invalid argument"));

    m_received.clear();
    m_decoder.resetState();
    resetSession();
    m_state = SocketState::ResolvingHost;
    socket().connectToHost(RemoteHost, quint16(RemotePort));
}

void Winsock::ConnectEncrypted()
{
    Connect();
    m_implicitTls = true;
}

void Winsock::StartClientEncryption(const QString &peerName)
{
    if (m_state != SocketState::Connected || m_handshaking || m_encrypted)
        throw WrongState();
    if (PlainBytesPending())
        throw RuntimeError(ErrorNumber::WrongProtocolOrState,
                           QStringLiteral("Unread data received before encryption"));
    beginHandshake(peerName);
}

bool Winsock::PlainBytesPending() const
{
    if (m_encrypted)
        return false;
    return !m_received.isEmpty() || m_decoder.holdsPartialCharacter() ||
           (m_socket && m_socket->bytesAvailable() > 0);
}

void Winsock::beginHandshake(const QString &peerName)
{
    m_handshaking = true;
    m_certificateFaults.clear();
    m_alert = TlsFailure();
    m_server = {RemoteHost, RemotePort, peerName};
    const QSslConfiguration configuration = Services::InUse().Tls().ConfigurationFor(m_server);
    m_offeredSession = !configuration.sessionTicket().isEmpty();
    m_socket->setSslConfiguration(configuration);
    m_socket->setPeerVerifyName(peerName);
    m_socket->startClientEncryption();
}

void Winsock::onEncrypted()
{
    m_handshaking = false;
    m_encrypted = true;
    m_report = TlsReport::From(ProtocolName(*m_socket), m_socket->sessionCipher().name(),
                               m_socket->peerCertificateChain(), m_certificateFaults);
    // A resumed session carries no certificate chain (a whole handshake
    // always does), so verification has next to nothing to check: what it
    // says about the certificate is the report of the handshake that made
    // the session, for the same host, port and name.
    const TlsReport *first =
        m_offeredSession ? Services::InUse().Tls().ReportFor(m_server) : nullptr;
    if (first && m_socket->peerCertificateChain().isEmpty()) {
        TlsReport resumed = *first;
        resumed.protocol = m_report.protocol;
        resumed.cipher = m_report.cipher;
        m_report = resumed;
    }
    emit encrypted();
}

// The session as the server left it: a TLS 1.3 server sends it after the
// handshake, so it is taken when the connection ends.
void Winsock::keepSession()
{
    if (m_encrypted && m_socket)
        Services::InUse().Tls().Keep(m_server, m_socket->sslConfiguration().sessionTicket(),
                                     m_report);
}

void Winsock::resetSession()
{
    m_offeredSession = false;
    m_implicitTls = false;
    m_handshaking = false;
    m_encrypted = false;
    m_certificateFaults.clear();
    m_report = TlsReport();
    m_alert = TlsFailure();
    m_failure = TlsFailure();
}

// A fatal alert ends the handshake; the first one, from either side, is its
// cause. A warning is kept only until something weightier comes.
void Winsock::onAlert(bool received, QSsl::AlertLevel level, QSsl::AlertType type,
                      const QString &description)
{
    if (!m_handshaking || (m_alert.cause != TlsFailure::Cause::None && m_alert.fatal))
        return;
    m_alert.cause = received ? TlsFailure::Cause::AlertReceived : TlsFailure::Cause::AlertSent;
    m_alert.alert = int(type);
    m_alert.alertName = description;
    m_alert.fatal = level != QSsl::AlertLevel::Warning;
}

void Winsock::noteHandshakeFailure(QAbstractSocket::SocketError socketError)
{
    if (m_offeredSession)
        Services::InUse().Tls().Forget(m_server); // the next handshake starts afresh
    m_failure = m_alert;
    if (m_failure.cause == TlsFailure::Cause::None || !m_failure.fatal)
        m_failure.cause = socketError == QAbstractSocket::RemoteHostClosedError
                              ? TlsFailure::Cause::PeerClosed
                              : TlsFailure::Cause::Other;
    m_failure.libraryText = m_socket ? m_socket->errorString() : QString();
}

QString Winsock::GetData()
{
    QString text = m_decoder.decode(m_received);
    m_received.clear();
    return text;
}

void Winsock::SendData(const QString &Text)
{
    if (m_state != SocketState::Connected)
        throw WrongState();
    m_socket->write(Text.toUtf8());
}

void Winsock::Flush()
{
    if (socketOpen())
        m_socket->flush();
}

void Winsock::Close()
{
    // What was queued still goes out (a last QUIT); what was not read is dropped.
    if (socketOpen())
        m_socket->flush();
    keepSession();
    m_closing = true;
    if (m_socket)
        m_socket->abort();
    m_closing = false;
    m_received.clear();
    m_decoder.resetState();
    resetSession();
    m_state = SocketState::Closed;
}

void Winsock::onStateChanged(QAbstractSocket::SocketState state)
{
    if (m_closing)
        return;
    switch (state) {
    case QAbstractSocket::HostLookupState:
        m_state = SocketState::ResolvingHost;
        break;
    case QAbstractSocket::ConnectingState:
        m_state = SocketState::Connecting;
        break;
    default:
        break; // connected, closed and errors are settled by their own signals
    }
}

void Winsock::onReadyRead()
{
    receive(m_socket->readAll());
}

void Winsock::receive(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    m_received += bytes;
    emit dataArrival(std::int32_t(std::min<qsizetype>(m_received.size(), INT32_MAX)));
}

void Winsock::onDisconnected()
{
    if (m_closing || m_state == SocketState::Error || m_state == SocketState::Closed)
        return;
    m_state = SocketState::Closing;
    emit peerClosed();
}

void Winsock::onErrorOccurred(QAbstractSocket::SocketError socketError)
{
    if (m_closing)
        return;
    // The peer closing an established connection is a Close, not an Error;
    // closing half way through a handshake is a failed handshake.
    if (socketError == QAbstractSocket::RemoteHostClosedError &&
        m_state == SocketState::Connected && !m_handshaking)
        return;
    if (m_state == SocketState::Error)
        return; // one failure, one event
    m_state = SocketState::Error;
    if (m_handshaking)
        noteHandshakeFailure(socketError);
    m_handshaking = false;
    const QString description = !m_socket || m_socket->errorString().isEmpty()
                                    ? QStringLiteral("The remote host closed the connection")
                                    : m_socket->errorString();
    emit error(socketError, description);
}

void Winsock::onBytesWritten(qint64 bytes)
{
    emit sendProgress(std::int32_t(bytes), std::int32_t(m_socket ? m_socket->bytesToWrite() : 0));
}
