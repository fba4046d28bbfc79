#include "support/PeerSocket.h"

#include "util/RuntimeError.h"

#include <QTimer>
#include <algorithm>
#include <climits>

namespace {
RuntimeError WrongState()
{
    return RuntimeError(ErrorNumber::WrongProtocolOrState,
                        QStringLiteral("Wrong protocol or connection state for the "
                                       "requested transaction or request"));
}
} // namespace

void PeerSocket::Connect()
{
    if (m_state != SocketState::Closed)
        throw RuntimeError(ErrorNumber::InvalidOperationAtState,
                           QStringLiteral("Invalid operation at current state"));
    reset();
    m_state = SocketState::Connecting;
    QTimer::singleShot(0, this, [this] {
        if (m_state != SocketState::Connecting)
            return;
        m_state = SocketState::Connected;
        emit connected();
    });
}

void PeerSocket::ConnectEncrypted()
{
    Connect();
    m_handshaking = true;
}

void PeerSocket::StartClientEncryption(const QString &)
{
    if (m_state != SocketState::Connected || m_handshaking || m_encrypted)
        throw WrongState();
    if (PlainBytesPending())
        throw RuntimeError(ErrorNumber::WrongProtocolOrState,
                           QStringLiteral("Unread data received before encryption"));
    m_handshaking = true;
}

bool PeerSocket::PlainBytesPending() const
{
    return !m_encrypted && (!m_received.isEmpty() || m_decoder.holdsPartialCharacter());
}

QString PeerSocket::GetData()
{
    QString text = m_decoder.decode(m_received);
    m_received.clear();
    return text;
}

void PeerSocket::SendData(const QString &Text)
{
    if (m_state != SocketState::Connected)
        throw WrongState();
    m_sent += Text.toUtf8();
}

void PeerSocket::Close()
{
    reset();
    m_state = SocketState::Closed;
}

void PeerSocket::Receive(const QByteArray &bytes)
{
    // As on a real connection, nothing arrives on an element that is not
    // connected: after Close the element hears nothing more from its peer.
    if (bytes.isEmpty() || m_state != SocketState::Connected)
        return;
    m_received += bytes;
    emit dataArrival(std::int32_t(std::min<qsizetype>(m_received.size(), INT32_MAX)));
}

void PeerSocket::PeerClose()
{
    if (m_handshaking) {
        Fail(QAbstractSocket::RemoteHostClosedError,
             QStringLiteral("The remote host closed the connection"));
        return;
    }
    if (m_state == SocketState::Error || m_state == SocketState::Closed)
        return;
    m_state = SocketState::Closing;
    emit peerClosed();
}

void PeerSocket::PeerEncrypted(const TlsReport &report)
{
    if (!m_handshaking)
        return;
    m_handshaking = false;
    m_encrypted = true;
    m_report = report;
    emit encrypted();
}

void PeerSocket::Fail(QAbstractSocket::SocketError error, const QString &description)
{
    // One failure, one event, and none after Close: the socket's own rules.
    if (m_state == SocketState::Closed || m_state == SocketState::Error)
        return;
    if (m_handshaking) {
        m_failure = TlsFailure();
        m_failure.cause = error == QAbstractSocket::RemoteHostClosedError
                              ? TlsFailure::Cause::PeerClosed
                              : TlsFailure::Cause::Other;
    }
    m_state = SocketState::Error;
    m_handshaking = false;
    emit this->error(error, description);
}

QByteArray PeerSocket::TakeSent()
{
    return std::exchange(m_sent, {});
}

void PeerSocket::reset()
{
    m_received.clear();
    m_decoder.resetState();
    m_handshaking = false;
    m_encrypted = false;
    m_report = TlsReport();
    m_failure = TlsFailure();
}
