#include "platform/Winsock.h"

#include "util/RuntimeError.h"

namespace {
// Error numbers in the socket control's own numbering, so that a user who
// knows them from elsewhere recognises them.
std::int32_t ErrorNumberFor(QAbstractSocket::SocketError socketError)
{
    switch (socketError) {
    case QAbstractSocket::ConnectionRefusedError:
        return 10061;
    case QAbstractSocket::HostNotFoundError:
        return 11001;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::RemoteHostClosedError:
        return 10054;
    case QAbstractSocket::NetworkError:
        return 10051;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    case QAbstractSocket::SocketResourceError:
        return 10055;
    default:
        return 10000 + int(socketError);
    }
}
} // namespace

Winsock::Winsock(QObject *parent) : QObject(parent)
{
    connect(&m_socket, &QAbstractSocket::stateChanged, this, &Winsock::onStateChanged);
    connect(&m_socket, &QAbstractSocket::connected, this, [this] {
        m_state = SocketState::Connected;
        emit connected();
    });
    connect(&m_socket, &QIODevice::readyRead, this, &Winsock::onReadyRead);
    connect(&m_socket, &QAbstractSocket::disconnected, this, &Winsock::onDisconnected);
    connect(&m_socket, &QAbstractSocket::errorOccurred, this, &Winsock::onErrorOccurred);
    connect(&m_socket, &QIODevice::bytesWritten, this, &Winsock::onBytesWritten);
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
    m_testSink = nullptr;
    m_state = SocketState::ResolvingHost;
    m_socket.connectToHost(RemoteHost, quint16(RemotePort));
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
        throw RuntimeError(ErrorNumber::WrongProtocolOrState,
                           QStringLiteral("Wrong protocol or connection state for the "
                                          "requested transaction or request"));
    if (m_testSink)
        m_testSink->append(Text.toUtf8());
    else
        m_socket.write(Text.toUtf8());
}

void Winsock::Close()
{
    // What was queued still goes out (a last QUIT); what was not read is dropped.
    if (m_socket.state() == QAbstractSocket::ConnectedState)
        m_socket.flush();
    m_closing = true;
    m_socket.abort();
    m_closing = false;
    m_received.clear();
    m_decoder.resetState();
    m_testSink = nullptr;
    m_state = SocketState::Closed;
}

void Winsock::AttachTestPeer(QByteArray *sink)
{
    Close();
    m_testSink = sink;
    m_state = SocketState::Connected;
}

void Winsock::Receive(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    m_received += bytes;
    emit dataArrival(std::int32_t(std::min<qsizetype>(m_received.size(), INT32_MAX)));
}

void Winsock::PeerClose()
{
    onDisconnected();
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
    Receive(m_socket.readAll());
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
    // The peer closing an established connection is a Close, not an Error.
    if (socketError == QAbstractSocket::RemoteHostClosedError && m_state == SocketState::Connected)
        return;
    m_state = SocketState::Error;
    emit error(ErrorNumberFor(socketError), m_socket.errorString());
}

void Winsock::onBytesWritten(qint64 bytes)
{
    emit sendProgress(std::int32_t(bytes), std::int32_t(m_socket.bytesToWrite()));
}
