#pragma once

#include "engine/Hints.h"
#include "platform/TlsFailure.h"
#include "platform/TlsReport.h"

#include <QAbstractSocket>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>

// The tool's own notes in the log: one cyan line each, between or after the
// lines of the dialogue, saying what happened where the server's replies do
// not. A note never quotes what a server sent beyond a reply's code, except
// the error it gives for an access token, which no reply line shows readably.
// Notes name what the run last sent; they only write, and choose no hint.
namespace Notes {
Q_NAMESPACE

// Each sentence a note can be, whatever its arguments.
enum class Id {
    Connected,
    ConnectedToAddress,
    Refused, // the connection
    HostNotFound,
    NetworkUnreachable,
    ConnectionReset,
    ConnectTimedOut,
    ConnectionFailed,
    CouldNotStart,
    ClosedBeforeGreeting,
    ClosedAfter,
    NoGreeting,
    NoReply,
    GreetingTooLong,
    ReplyTooLong,
    MoreThanOneGreeting,
    MoreThanOneReply,
    GreetingNotSmtp,
    ReplyNotSmtp,
    RefusedGreeting,
    RefusedLogin,
    RefusedCommand,
    RefusedToken,
    RefusedTokenSaying,
    FailedWaiting,
    EncryptedTrusted,
    EncryptedUntrusted,
    HandshakeFailed,
    HandshakeTimedOut,
    PlainTextAfterStartTls,
    PasswordUnencrypted,
    NoUsableLogin,
    SmtpUtf8NotOffered,
    DialogueTook,
    GreetingTook,
    ReplyTook,
};
Q_ENUM_NS(Id)

// Every note and hint carries in the log, beside its text and never shown,
// what it is: one of these in the high half and its Id or Hints::Cause in the
// low half. What a run found can be read from these, whatever the wording.
constexpr std::uint32_t NoteMark = 0x10000;
constexpr std::uint32_t HintMark = 0x20000;

// The sentence a note of that id fills in, its arguments as %1, %2 and so
// on: the one place its wording is defined.
QString Wording(Id id);

// The connection is made: which address and port were reached.
void Connected(const QString &address, std::int32_t port, const QString &hostTyped);
// The socket reported an error (Qt's value of it and the socket's own description).
void SocketError(QAbstractSocket::SocketError error, const QString &description,
                 const QString &host, std::int32_t port);
// Starting the connection failed at once.
void ConnectFailed(const QString &description);
// The server hung up before the dialogue ended.
void ServerClosed();
// No (complete) reply came within the deadline of that many milliseconds.
void NoReply(int waitedMs);
void ReplyTooLong();
void MoreThanOneReply();
void NotAnSmtpReply();
// The server refused what was last sent with this code.
void Refused(const QString &code);
// The run failed without a refusal, after something was sent.
void FailedWaiting();
// The TLS handshake has finished: protocol, cipher, the certificate and
// whether it is trusted for the host typed.
void Encrypted(const TlsReport &report, const QString &hostTyped);
// The handshake failed, and why; or it did not finish in time.
void HandshakeFailed(const QString &host, std::int32_t port, const TlsFailure &failure);
void HandshakeTimedOut(int waitedMs);
// The server sent more after its 220 to STARTTLS, before the handshake.
void PlainTextAfterStartTls();
// The password went to a server that offers no STARTTLS, unencrypted.
void PasswordUnencrypted();
// A reply took that many milliseconds, longer than a reply should.
void ReplyTook(qint64 milliseconds);
// What to try next, after the note it explains; nothing where no cause is known.
void Hint(const Hints::Hint &hint);
// The server's AUTH line lists neither LOGIN nor PLAIN, only these.
void NoUsableLogin(const QStringList &mechanisms);
// The recipient's local part is not ASCII and the server offers no SMTPUTF8.
void SmtpUtf8NotOffered();
// The whole dialogue succeeded in that many milliseconds.
void DialogueTook(qint64 milliseconds);

} // namespace Notes
