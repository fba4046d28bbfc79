#include "engine/Notes.h"

#include "engine/ReplyFramer.h"
#include "engine/RunState.h"
#include "engine/WindowControls.h"
#include "platform/LogControl.h"
#include "util/Colors.h"
#include "util/FillText.h"

#include <QStringList>

namespace Notes {

namespace {
// A note's text and which of them it is.
struct Sentence
{
    Id id;
    QString text;
};

using ::FillText;
Sentence FillText(const Sentence &sentence, const QStringList &arguments)
{
    return {sentence.id, FillText(sentence.text, arguments)};
}

// Every text a note can have, in one place. %-arguments: host
// names and addresses as typed or resolved, ports, commands as named by the client, durations, the
// three digits of a reply code, the socket's own description.
namespace Text {
const Sentence Connected{Id::Connected, QStringLiteral("Connected to %1 port %2 (%3).")};
const Sentence ConnectedToAddress{Id::ConnectedToAddress,
                                  QStringLiteral("Connected to %1 port %2.")};
const Sentence Refused{
    Id::Refused,
    QStringLiteral("Connection refused by %1 port %2: no mail server listens there (%3).")};
const Sentence HostNotFound{
    Id::HostNotFound, QStringLiteral("The host \"%1\" was not found: check the server name (%3).")};
const Sentence NetworkUnreachable{
    Id::NetworkUnreachable,
    QStringLiteral("%1 port %2 cannot be reached from this computer (%3).")};
const Sentence ConnectionReset{Id::ConnectionReset,
                               QStringLiteral("The connection to %1 port %2 was reset (%3).")};
const Sentence ConnectTimedOut{Id::ConnectTimedOut,
                               QStringLiteral("No connection to %1 port %2 in time (%3).")};
const Sentence ConnectionFailed{Id::ConnectionFailed,
                                QStringLiteral("The connection to %1 port %2 failed (%3).")};
const Sentence CouldNotStart{Id::CouldNotStart,
                             QStringLiteral("The connection could not be started (%1).")};
const Sentence ClosedBeforeGreeting{
    Id::ClosedBeforeGreeting,
    QStringLiteral("The server closed the connection before its greeting.")};
const Sentence ClosedAfter{Id::ClosedAfter,
                           QStringLiteral("The server closed the connection after %1.")};
const Sentence NoGreeting{Id::NoGreeting, QStringLiteral("No greeting from the server within %1.")};
const Sentence NoReply{Id::NoReply, QStringLiteral("No reply to %1 within %2.")};
const Sentence GreetingTooLong{
    Id::GreetingTooLong,
    QStringLiteral("The greeting is longer than %1 KiB: Vormant stopped reading it.")};
const Sentence ReplyTooLong{
    Id::ReplyTooLong,
    QStringLiteral("The reply to %2 is longer than %1 KiB: Vormant stopped reading it.")};
const Sentence MoreThanOneGreeting{Id::MoreThanOneGreeting,
                                   QStringLiteral("The server sent more than its greeting.")};
const Sentence MoreThanOneReply{Id::MoreThanOneReply,
                                QStringLiteral("The server sent more than one reply to %1.")};
const Sentence GreetingNotSmtp{
    Id::GreetingNotSmtp,
    QStringLiteral("The server's greeting is not an SMTP reply: is this a mail server?")};
const Sentence ReplyNotSmtp{Id::ReplyNotSmtp,
                            QStringLiteral("The answer to %1 is not an SMTP reply.")};
const Sentence RefusedGreeting{
    Id::RefusedGreeting, QStringLiteral("The server refused the session in its greeting (%1).")};
const Sentence RefusedLogin{
    Id::RefusedLogin, QStringLiteral("The server did not accept the user name or password (%1).")};
const Sentence RefusedCommand{Id::RefusedCommand, QStringLiteral("The server refused %1 (%2).")};
const Sentence RefusedToken{Id::RefusedToken,
                            QStringLiteral("The server did not accept the access token (%1).")};
const Sentence RefusedTokenSaying{
    Id::RefusedTokenSaying,
    QStringLiteral("The server did not accept the access token (%1): its error says %2.")};
const Sentence FailedWaiting{Id::FailedWaiting,
                             QStringLiteral("The test failed waiting for the reply to %1.")};
const Sentence EncryptedTrusted{Id::EncryptedTrusted,
                                QStringLiteral("Encrypted with %1 (%2). Certificate for %3, issued "
                                               "by %4, valid until %5: trusted for %6.")};
const Sentence EncryptedUntrusted{
    Id::EncryptedUntrusted,
    QStringLiteral("Encrypted with %1 (%2). Certificate for %3, issued by %4, valid until %5. "
                   "Certificate NOT trusted: %6.")};
const auto SelfSigned = QStringLiteral("self-signed");
const auto Expired = QStringLiteral("expired");
const auto NotYetValid = QStringLiteral("not valid yet");
const auto OtherName = QStringLiteral("issued for another name than %1");
const auto UnknownIssuer = QStringLiteral("its issuer is unknown to this computer");
const auto Untrusted = QStringLiteral("%1");
const Sentence HandshakeFailed{Id::HandshakeFailed,
                               QStringLiteral("The TLS handshake with %1 port %2 failed (%3).")};
const auto AlertReceived = QStringLiteral("the server sent the %1 TLS alert %2, %3");
const auto AlertSent = QStringLiteral("Vormant ended it with the %1 TLS alert %2, %3");
const auto Fatal = QStringLiteral("fatal");
const auto Warning = QStringLiteral("warning");
const auto NoCommonVersion = QStringLiteral(": no TLS version both sides support");
const auto NoCommonCipher = QStringLiteral(": no cipher or other setting both sides support");
const auto ClosedMidHandshake =
    QStringLiteral("the server closed the connection in the middle of the handshake");
const auto NoReasonGiven = QStringLiteral("the TLS library gave no reason");
const Sentence HandshakeTimedOut{Id::HandshakeTimedOut,
                                 QStringLiteral("The TLS handshake did not finish within %1.")};
const Sentence PlainTextAfterStartTls{
    Id::PlainTextAfterStartTls,
    QStringLiteral("The server sent more before the TLS handshake than its 220 to STARTTLS: "
                   "Vormant trusts nothing sent unencrypted and stopped.")};
const Sentence PasswordUnencrypted{
    Id::PasswordUnencrypted,
    QStringLiteral("The server offers no STARTTLS: the user name and password went unencrypted.")};
const Sentence NoUsableLogin{
    Id::NoUsableLogin,
    QStringLiteral("The server offers no login Vormant can use (AUTH %1): Vormant logs in with "
                   "LOGIN or PLAIN.")};
const auto NoMechanism = QStringLiteral("none");
const Sentence SmtpUtf8NotOffered{
    Id::SmtpUtf8NotOffered,
    QStringLiteral(
        "The recipient's address has characters beyond ASCII before its \"@\": that needs "
        "SMTPUTF8, which this server does not offer. Nothing was sent to the recipient.")};
const Sentence DialogueTook{
    Id::DialogueTook,
    QStringLiteral("The dialogue took %1 ms, from connecting to the reply to QUIT.")};
const Sentence GreetingTook{Id::GreetingTook, QStringLiteral("The greeting took %1 seconds.")};
const Sentence ReplyTook{Id::ReplyTook, QStringLiteral("The reply to %1 took %2 seconds.")};
const auto Hint = QStringLiteral("Hint: %1");
} // namespace Text

using modQuendel_EmailClient::Command;
using modQuendel_EmailClient::Run;

// What was last sent, as notes name it.
QString LastCommandName()
{
    return Run.Slot.LastCommand
               ? modQuendel_EmailClient::RowOf(*Run.Slot.LastCommand).label.toString()
               : QString();
}

void Write(std::uint32_t mark, const QString &text)
{
    Module1::Log().SetSelColor(Colors::Cyan);
    Module1::Log().InsertMarkedText(text + QStringLiteral("\r\n"), mark);
}

void Note(const Sentence &sentence)
{
    Write(NoteMark | std::uint32_t(sentence.id), sentence.text);
}

QString Duration(int milliseconds)
{
    if (milliseconds % 60000 == 0)
        return milliseconds == 60000 ? QStringLiteral("1 minute")
                                     : QStringLiteral("%1 minutes").arg(milliseconds / 60000);
    if (milliseconds % 1000 == 0)
        return milliseconds == 1000 ? QStringLiteral("1 second")
                                    : QStringLiteral("%1 seconds").arg(milliseconds / 1000);
    return QStringLiteral("%1 ms").arg(milliseconds);
}

bool AwaitingGreeting()
{
    return !Run.Slot.LastCommand;
}

// The note on a connection that could not be made, by the kind of failure.
Sentence ConnectErrorText(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return Text::Refused;
    case QAbstractSocket::HostNotFoundError:
        return Text::HostNotFound;
    case QAbstractSocket::NetworkError:
        return Text::NetworkUnreachable;
    case QAbstractSocket::RemoteHostClosedError:
        return Text::ConnectionReset;
    case QAbstractSocket::SocketTimeoutError:
        return Text::ConnectTimedOut;
    default:
        return Text::ConnectionFailed;
    }
}
} // namespace

QString Wording(Id id)
{
    switch (id) {
    case Id::Connected:
        return Text::Connected.text;
    case Id::ConnectedToAddress:
        return Text::ConnectedToAddress.text;
    case Id::Refused:
        return Text::Refused.text;
    case Id::HostNotFound:
        return Text::HostNotFound.text;
    case Id::NetworkUnreachable:
        return Text::NetworkUnreachable.text;
    case Id::ConnectionReset:
        return Text::ConnectionReset.text;
    case Id::ConnectTimedOut:
        return Text::ConnectTimedOut.text;
    case Id::ConnectionFailed:
        return Text::ConnectionFailed.text;
    case Id::CouldNotStart:
        return Text::CouldNotStart.text;
    case Id::ClosedBeforeGreeting:
        return Text::ClosedBeforeGreeting.text;
    case Id::ClosedAfter:
        return Text::ClosedAfter.text;
    case Id::NoGreeting:
        return Text::NoGreeting.text;
    case Id::NoReply:
        return Text::NoReply.text;
    case Id::GreetingTooLong:
        return Text::GreetingTooLong.text;
    case Id::ReplyTooLong:
        return Text::ReplyTooLong.text;
    case Id::MoreThanOneGreeting:
        return Text::MoreThanOneGreeting.text;
    case Id::MoreThanOneReply:
        return Text::MoreThanOneReply.text;
    case Id::GreetingNotSmtp:
        return Text::GreetingNotSmtp.text;
    case Id::ReplyNotSmtp:
        return Text::ReplyNotSmtp.text;
    case Id::RefusedGreeting:
        return Text::RefusedGreeting.text;
    case Id::RefusedLogin:
        return Text::RefusedLogin.text;
    case Id::RefusedCommand:
        return Text::RefusedCommand.text;
    case Id::RefusedToken:
        return Text::RefusedToken.text;
    case Id::RefusedTokenSaying:
        return Text::RefusedTokenSaying.text;
    case Id::FailedWaiting:
        return Text::FailedWaiting.text;
    case Id::EncryptedTrusted:
        return Text::EncryptedTrusted.text;
    case Id::EncryptedUntrusted:
        return Text::EncryptedUntrusted.text;
    case Id::HandshakeFailed:
        return Text::HandshakeFailed.text;
    case Id::HandshakeTimedOut:
        return Text::HandshakeTimedOut.text;
    case Id::PlainTextAfterStartTls:
        return Text::PlainTextAfterStartTls.text;
    case Id::PasswordUnencrypted:
        return Text::PasswordUnencrypted.text;
    case Id::NoUsableLogin:
        return Text::NoUsableLogin.text;
    case Id::SmtpUtf8NotOffered:
        return Text::SmtpUtf8NotOffered.text;
    case Id::DialogueTook:
        return Text::DialogueTook.text;
    case Id::GreetingTook:
        return Text::GreetingTook.text;
    case Id::ReplyTook:
        return Text::ReplyTook.text;
    }
    return {};
}

void Connected(const QString &address, std::int32_t port, const QString &hostTyped)
{
    // An address typed as the server needs no second mention.
    const bool typedAddress = hostTyped == address || hostTyped.isEmpty();
    Note(FillText(typedAddress ? Text::ConnectedToAddress : Text::Connected,
                  {address, QString::number(port), hostTyped}));
}

void SocketError(QAbstractSocket::SocketError error, const QString &description,
                 const QString &host, std::int32_t port)
{
    if (!AwaitingGreeting()) {
        Note(FillText(Text::ConnectionFailed, {host, QString::number(port), description}));
        FailedWaiting();
        return;
    }
    Note(FillText(ConnectErrorText(error), {host, QString::number(port), description}));
}

void ConnectFailed(const QString &description)
{
    Note(FillText(Text::CouldNotStart, {description}));
}

void ServerClosed()
{
    Note(AwaitingGreeting() ? Text::ClosedBeforeGreeting
                            : FillText(Text::ClosedAfter, {LastCommandName()}));
}

void NoReply(int waitedMs)
{
    Note(AwaitingGreeting() ? FillText(Text::NoGreeting, {Duration(waitedMs)})
                            : FillText(Text::NoReply, {LastCommandName(), Duration(waitedMs)}));
}

void ReplyTooLong()
{
    const qsizetype kib = ReplyFramer::MaxReplyLength / 1024;
    Note(AwaitingGreeting()
             ? FillText(Text::GreetingTooLong, {QString::number(kib)})
             : FillText(Text::ReplyTooLong, {QString::number(kib), LastCommandName()}));
}

void MoreThanOneReply()
{
    Note(AwaitingGreeting() ? Text::MoreThanOneGreeting
                            : FillText(Text::MoreThanOneReply, {LastCommandName()}));
}

void NotAnSmtpReply()
{
    Note(AwaitingGreeting() ? Text::GreetingNotSmtp
                            : FillText(Text::ReplyNotSmtp, {LastCommandName()}));
}

void Refused(const QString &code)
{
    // A refused AUTH LOGIN is about the command: no user name or password
    // had gone out yet, whatever its code says.
    const std::optional<Command> last = Run.Slot.LastCommand;
    const bool credentials = (code == u"535" && last != Command::AuthLogin) ||
                             last == Command::UserName || last == Command::Password ||
                             last == Command::AuthPlain;
    if (AwaitingGreeting()) {
        Note(FillText(Text::RefusedGreeting, {code}));
    } else if (last && modQuendel_EmailClient::IsTokenLogin(*last)) {
        const QString error = Run.Slot.Seen.tokenError;
        Note(FillText(error.isEmpty() ? Text::RefusedToken : Text::RefusedTokenSaying,
                      {code, error}));
    } else if (credentials) {
        Note(FillText(Text::RefusedLogin, {code}));
    } else {
        Note(FillText(Text::RefusedCommand, {LastCommandName(), code}));
    }
}

void FailedWaiting()
{
    Note(FillText(Text::FailedWaiting, {LastCommandName()}));
}

namespace {
// What two alert numbers mean for a user; the others speak for themselves.
QString AlertMeaning(int alert)
{
    switch (alert) {
    case 70: // protocol_version
        return Text::NoCommonVersion;
    case 40: // handshake_failure: no common cipher suite, group or signature scheme
    case 71: // insufficient_security
        return Text::NoCommonCipher;
    default:
        return {};
    }
}

QString FailureReason(const TlsFailure &failure)
{
    switch (failure.cause) {
    case TlsFailure::Cause::AlertReceived:
    case TlsFailure::Cause::AlertSent:
        return FillText(failure.cause == TlsFailure::Cause::AlertReceived ? Text::AlertReceived
                                                                          : Text::AlertSent,
                        {failure.fatal ? Text::Fatal : Text::Warning,
                         QString::number(failure.alert), failure.alertName}) +
               AlertMeaning(failure.alert);
    case TlsFailure::Cause::PeerClosed:
        return Text::ClosedMidHandshake;
    case TlsFailure::Cause::None:
    case TlsFailure::Cause::Other:
        break;
    }
    // The socket's text ends in a colon when the library named no reason.
    const QString text = failure.libraryText.trimmed();
    return text.isEmpty() || text.endsWith(u':') ? Text::NoReasonGiven : text;
}
} // namespace

void Encrypted(const TlsReport &report, const QString &hostTyped)
{
    QString trust;
    switch (report.trust) {
    case TlsReport::Trust::Trusted:
        break;
    case TlsReport::Trust::SelfSigned:
        trust = Text::SelfSigned;
        break;
    case TlsReport::Trust::Expired:
        trust = Text::Expired;
        break;
    case TlsReport::Trust::NotYetValid:
        trust = Text::NotYetValid;
        break;
    case TlsReport::Trust::OtherName:
        trust = FillText(Text::OtherName, {hostTyped});
        break;
    case TlsReport::Trust::UnknownIssuer:
        trust = Text::UnknownIssuer;
        break;
    case TlsReport::Trust::Untrusted:
        trust = FillText(Text::Untrusted, {report.trustProblem});
        break;
    }
    const QString expires = report.expires.toUTC().toString(Qt::ISODate).left(10);
    Note(FillText(trust.isEmpty() ? Text::EncryptedTrusted : Text::EncryptedUntrusted,
                  {report.protocol, report.cipher, report.subject, report.issuer, expires,
                   trust.isEmpty() ? hostTyped : trust}));
}

void HandshakeFailed(const QString &host, std::int32_t port, const TlsFailure &failure)
{
    Note(FillText(Text::HandshakeFailed, {host, QString::number(port), FailureReason(failure)}));
}

void HandshakeTimedOut(int waitedMs)
{
    Note(FillText(Text::HandshakeTimedOut, {Duration(waitedMs)}));
}

void PlainTextAfterStartTls()
{
    Note(Text::PlainTextAfterStartTls);
}

void PasswordUnencrypted()
{
    Note(Text::PasswordUnencrypted);
}

void ReplyTook(qint64 milliseconds)
{
    const QString seconds = QString::number(double(milliseconds) / 1000, 'f', 1);
    Note(AwaitingGreeting() ? FillText(Text::GreetingTook, {seconds})
                            : FillText(Text::ReplyTook, {LastCommandName(), seconds}));
}

void Hint(const Hints::Hint &hint)
{
    if (!hint.text.isEmpty())
        Write(HintMark | std::uint32_t(hint.cause), FillText(Text::Hint, {hint.text}));
}

void NoUsableLogin(const QStringList &mechanisms)
{
    Note(FillText(Text::NoUsableLogin,
                  {mechanisms.isEmpty() ? Text::NoMechanism : mechanisms.join(u' ')}));
}

void SmtpUtf8NotOffered()
{
    Note(Text::SmtpUtf8NotOffered);
}

void DialogueTook(qint64 milliseconds)
{
    Note(FillText(Text::DialogueTook, {QString::number(milliseconds)}));
}

} // namespace Notes
