#include "engine/DialogueCommands.h"

#include "engine/AccessToken.h"
#include "engine/MessageData.h"
#include "engine/MessageText.h"
#include "engine/RunInput.h"
#include "engine/WindowControls.h"
#include "platform/Services.h"
#include "platform/SocketArray.h"
#include "util/Base64.h"

#include <QDateTime>
#include <QUuid>

#include <iterator>

using namespace Module1;

namespace modQuendel_EmailClient {

namespace {
const QString CRLF = QStringLiteral("\r\n");
// The password never reaches the log, not even as Base64.
const QString PasswordMask = QStringLiteral("********");

bool LoggingIn()
{
    return !SmtpPass.isEmpty() && !SmtpUser.isEmpty();
}

QString Recipient(std::int16_t Index)
{
    return Trim(MailToAt(Index));
}

QString Sender()
{
    return ReversePath(SmtpUser, LoggingIn());
}

// A command that the log shows as it goes out.
CommandText AsSent(const QString &text)
{
    return {text, {text}};
}

// A command with credentials: the log shows the command and a mask.
CommandText Masked(const QString &command, const QString &credentials)
{
    return {command + credentials + CRLF, {command + PasswordMask + CRLF}};
}

QString Greeting(std::int16_t Index, const QString &verb)
{
    return verb + AddressLiteral(Sockets()(Index).LocalHostAddress()) + CRLF;
}

CommandText Helo(std::int16_t Index)
{
    return AsSent(Greeting(Index, QStringLiteral("HELO ")));
}

CommandText Ehlo(std::int16_t Index)
{
    return AsSent(Greeting(Index, QStringLiteral("EHLO ")));
}

CommandText StartTls(std::int16_t)
{
    return AsSent(QStringLiteral("STARTTLS") + CRLF);
}

CommandText AuthLogin(std::int16_t)
{
    return AsSent(QStringLiteral("AUTH LOGIN") + CRLF);
}

CommandText UserName(std::int16_t)
{
    return AsSent(Base64Encode(SmtpUser) + CRLF);
}

CommandText Password(std::int16_t)
{
    return Masked({}, Base64Encode(SmtpPass));
}

// The credentials in the initial response (RFC 4616).
CommandText AuthPlain(std::int16_t)
{
    return Masked(QStringLiteral("AUTH PLAIN "),
                  Base64Encode(QString(QChar(0)) + SmtpUser + QChar(0) + SmtpPass));
}

CommandText AuthXoauth2(std::int16_t)
{
    return Masked(QStringLiteral("AUTH XOAUTH2 "),
                  Base64Encode(AccessToken::Xoauth2Response(SmtpUser, SmtpPass)));
}

CommandText AuthOAuthBearer(std::int16_t Index)
{
    const SocketElement &socket = Sockets()(Index);
    return Masked(QStringLiteral("AUTH OAUTHBEARER "),
                  Base64Encode(AccessToken::OAuthBearerResponse(SmtpUser, socket.RemoteHost,
                                                                socket.RemotePort, SmtpPass)));
}

// With SMTPUTF8 when an address needs it (RFC 6531 3.4). The domain goes as
// the resolver knows it, as in RCPT TO: a server that takes no SMTPUTF8
// refuses it in any other form.
CommandText MailFrom(std::int16_t Index)
{
    return AsSent(QStringLiteral("MAIL FROM:<") + AsciiAddress(Sender()) + QStringLiteral(">") +
                  (NeedsUtf8(Index) ? QStringLiteral(" SMTPUTF8") : QString()) + CRLF);
}

CommandText RcptTo(std::int16_t Index)
{
    return AsSent(QStringLiteral("RCPT TO:<") + AsciiAddress(Recipient(Index)) +
                  QStringLiteral(">") + CRLF);
}

CommandText Data(std::int16_t)
{
    return AsSent(QStringLiteral("DATA") + CRLF);
}

// The log shows the subject and the end of the data, not the whole text.
CommandText Message(std::int16_t Index)
{
    MessageFields fields;
    fields.recipient = Recipient(Index);
    fields.sender = Sender();
    fields.subject = MailSubject;
    // One reading of the clock: the stamp and the Date header name one moment,
    // even across midnight.
    const QDateTime now = Services::InUse().Now();
    fields.text = QStringLiteral("Test Message Sent: ") + DateText(now.date()) +
                  QStringLiteral("-") + TimeText(now.time()) + u'\n' + MailBody + u'\n';
    fields.date = now;
    fields.uniqueId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    return {MessageData(fields),
            {QStringLiteral("Subject: ") + MailSubject + CRLF, QStringLiteral(".") + CRLF}};
}

CommandText Quit(std::int16_t)
{
    return AsSent(QStringLiteral("QUIT") + CRLF);
}

// Each command: its text, the step after it, its name in notes, the stage
// while its reply is awaited, that reply's deadline, and whether credentials
// go along.
using Hints::Stage;
constexpr CommandRow Table[] = {
    {Command::Helo, Helo, Step::MailFrom, u"HELO", Stage::Hello, ReplyWait::Reply, false},
    {Command::Ehlo, Ehlo, Step::EhloReply, u"EHLO", Stage::Hello, ReplyWait::Reply, false},
    {Command::HeloAfterEhlo, Helo, Step::EhloReply, u"HELO", Stage::Hello, ReplyWait::Reply, false},
    {Command::StartTls, StartTls, Step::StartTls, u"STARTTLS", Stage::StartTls, ReplyWait::Reply,
     false},
    {Command::AuthLogin, AuthLogin, Step::UserName, u"AUTH LOGIN", Stage::AuthCommand,
     ReplyWait::Reply, false},
    {Command::UserName, UserName, Step::Password, u"the user name", Stage::Credentials,
     ReplyWait::Reply, false},
    {Command::Password, Password, Step::MailFrom, u"the password", Stage::Credentials,
     ReplyWait::Reply, true},
    {Command::AuthPlain, AuthPlain, Step::MailFrom, u"AUTH PLAIN", Stage::Credentials,
     ReplyWait::Reply, true},
    {Command::AuthXoauth2, AuthXoauth2, Step::TokenLogin, u"AUTH XOAUTH2", Stage::Credentials,
     ReplyWait::Reply, true},
    {Command::AuthOAuthBearer, AuthOAuthBearer, Step::TokenLogin, u"AUTH OAUTHBEARER",
     Stage::Credentials, ReplyWait::Reply, true},
    {Command::MailFrom, MailFrom, Step::RcptTo, u"MAIL FROM", Stage::MailFrom, ReplyWait::Reply,
     false},
    {Command::RcptTo, RcptTo, Step::Data, u"RCPT TO", Stage::RcptTo, ReplyWait::Reply, false},
    {Command::Data, Data, Step::Message, u"DATA", Stage::Data, ReplyWait::Reply, false},
    {Command::Message, Message, Step::Quit, u"the message", Stage::Message, ReplyWait::DataReply,
     false},
    {Command::Quit, Quit, Step::QuitSent, u"QUIT", Stage::Quit, ReplyWait::Reply, false},
};
// A row for every command, in the order of the enumeration.
constexpr bool InOrder()
{
    for (std::size_t i = 0; i < std::size(Table); ++i) {
        if (std::size_t(Table[i].command) != i)
            return false;
    }
    return std::size(Table) == std::size_t(Command::Quit) + 1;
}
static_assert(InOrder());
} // namespace

const CommandRow &RowOf(Command command)
{
    return Table[std::size_t(command)];
}

bool NeedsUtf8(std::int16_t Index)
{
    return NeedsSmtpUtf8(Recipient(Index)) || NeedsSmtpUtf8(Sender());
}

} // namespace modQuendel_EmailClient
