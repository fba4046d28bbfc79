#include "engine/AccessToken.h"
#include "engine/MessageData.h"
#include "engine/MessageText.h"
#include "engine/Notes.h"
#include "engine/ReplyDeadline.h"
#include "engine/RunEvidence.h"
#include "engine/RunInput.h"
#include "engine/WindowControls.h"
#include "engine/modQuendel_EmailClient.h"
#include "platform/LogControl.h"
#include "platform/Services.h"
#include "platform/SocketArray.h"
#include "util/Base64.h"
#include "util/Colors.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QStringList>
#include <QUuid>

#include <algorithm>
#include <optional>

using namespace Module1;

namespace modQuendel_EmailClient {

namespace {
const QString CRLF = QStringLiteral("\r\n");
// The password never reaches the log, not even as Base64.
const QString PasswordMask = QStringLiteral("********");

bool IsAccepted(const QString &code)
{
    static const QStringList accepted{QStringLiteral("220"), QStringLiteral("250"),
                                      QStringLiteral("334"), QStringLiteral("235"),
                                      QStringLiteral("354")};
    return accepted.contains(code);
}

// An extension the EHLO reply offers: a line after the first whose keyword,
// without regard to case, is the one asked for (RFC 5321, 4.1.1.1).
bool Offers(const QString &ehloReply, QStringView keyword)
{
    const QStringList lines = ehloReply.split(u'\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.size() > 4 &&
            line.mid(4).section(u' ', 0, 0).compare(keyword, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// A server without extensions refuses EHLO this way (RFC 5321, 4.1.4).
bool RefusesEhlo(const QString &code)
{
    return code == u"500" || code == u"502";
}

bool LoggingIn()
{
    return !SmtpPass.isEmpty() && !SmtpUser.isEmpty();
}

void LogText(std::uint32_t colour, const QString &text)
{
    Module1::Log().SetSelColor(colour);
    Module1::Log().InsertText(text);
}

void Send(std::int16_t Index, const QString &text)
{
    Module1::Sockets()(Index).SendData(text);
}

// Logs a command in white and sends it.
void Command(std::int16_t Index, const QString &text)
{
    LogText(Colors::White, text);
    Send(Index, text);
}

// The mechanisms the AUTH lines of an EHLO reply list, in capitals, as far
// as they are mechanism names (RFC 4422 3.1); nullopt without an AUTH line.
// The old form "AUTH=..." counts as well.
std::optional<QStringList> AuthMechanisms(const QString &ehloReply)
{
    static const QRegularExpression mechanism(QStringLiteral("^[A-Z0-9_-]{1,20}$"));
    std::optional<QStringList> found;
    const QStringList lines = ehloReply.split(u'\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QStringList words = lines.at(i).trimmed().mid(4).toUpper().split(u' ', Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        if (words.first().startsWith(QStringLiteral("AUTH=")))
            words.first() = words.first().mid(5);
        else if (words.first() == u"AUTH")
            words.removeFirst();
        else
            continue;
        if (!found)
            found = QStringList();
        for (const QString &word : std::as_const(words)) {
            if (mechanism.match(word).hasMatch() && !found->contains(word))
                found->append(word);
        }
    }
    return found;
}

QString Greeting(std::int16_t Index, bool ehlo)
{
    return (ehlo ? QStringLiteral("EHLO ") : QStringLiteral("HELO ")) +
           AddressLiteral(Module1::Sockets()(Index).LocalHostAddress()) + CRLF;
}

QString Recipient(std::int16_t Index)
{
    return Trim(MailToAt(Index));
}

QString Sender()
{
    return ReversePath(SmtpUser, LoggingIn());
}

bool NeedsUtf8(std::int16_t Index)
{
    return NeedsSmtpUtf8(Recipient(Index)) || NeedsSmtpUtf8(Sender());
}

void SendMessage(std::int16_t Index)
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
    // The log shows the subject and the end of the data, not the whole text.
    LogText(Colors::White, QStringLiteral("Subject: ") + MailSubject + CRLF);
    LogText(Colors::White, QStringLiteral(".") + CRLF);
    Send(Index, MessageData(fields));
}

// QUIT goes out, and the connection closes without waiting for its answer.
void QuitAfterRefusal(std::int16_t Index)
{
    if (Module1::Sockets()(Index).State() == SocketState::Connected)
        Command(Index, QStringLiteral("QUIT") + CRLF);
}

// The client cannot go on with what the server offers: the session ends
// the polite way, and the note says why.
template <typename Note> void GiveUp(std::int16_t Index, Note note)
{
    QuitAfterRefusal(Index);
    note();
    EndDialogue(Index);
}

// An access token in Pass, with the mechanism in the initial response; the
// token stays out of the log as a password does.
void SendTokenLogin(std::int16_t Index, const QString &mechanism)
{
    const SocketElement &socket = Module1::Sockets()(Index);
    const QString response = mechanism == u"OAUTHBEARER"
                                 ? AccessToken::OAuthBearerResponse(SmtpUser, socket.RemoteHost,
                                                                    socket.RemotePort, SmtpPass)
                                 : AccessToken::Xoauth2Response(SmtpUser, SmtpPass);
    const QString command = QStringLiteral("AUTH ") + mechanism + u' ';
    LogText(Colors::White, command + PasswordMask + CRLF);
    Send(Index, command + Base64Encode(response) + CRLF);
    if (!socket.IsEncrypted())
        Notes::PasswordUnencrypted();
    Notes::SetLastCommand(Notes::TokenLoginName(mechanism));
    SmtpStep = Step::TokenLogin;
}

// The mechanism for an access token: the standard one where offered.
QString TokenMechanism(const std::optional<QStringList> &offered)
{
    if (!offered || !AccessToken::IsAccessToken(SmtpPass))
        return {};
    for (const QString &mechanism : {QStringLiteral("OAUTHBEARER"), QStringLiteral("XOAUTH2")}) {
        if (offered->contains(mechanism))
            return mechanism;
    }
    return {};
}

// The login the EHLO reply allows (RFC 4954): an access token where a
// mechanism for it is offered; AUTH LOGIN when it is listed or no AUTH line
// says otherwise; AUTH PLAIN with the credentials in its initial response
// (RFC 4616) when only that is; else the run ends. Returns false when nothing
// was sent.
bool SendAuth(std::int16_t Index)
{
    const std::optional<QStringList> offered = AuthMechanisms(GreetingReply);
    if (const QString mechanism = TokenMechanism(offered); !mechanism.isEmpty()) {
        SendTokenLogin(Index, mechanism);
        return true;
    }
    if (!offered || offered->contains(QStringLiteral("LOGIN"))) {
        Command(Index, QStringLiteral("AUTH LOGIN") + CRLF);
        Notes::SetLastCommand(Notes::CommandName(Step::AuthLogin));
        SmtpStep = Step::UserName;
        return true;
    }
    if (!offered->contains(QStringLiteral("PLAIN"))) {
        GiveUp(Index, [&offered] { Notes::NoUsableLogin(*offered); });
        return false;
    }
    const QString response = QString(QChar(0)) + SmtpUser + QChar(0) + SmtpPass;
    LogText(Colors::White, QStringLiteral("AUTH PLAIN ") + PasswordMask + CRLF);
    Send(Index, QStringLiteral("AUTH PLAIN ") + Base64Encode(response) + CRLF);
    if (!Module1::Sockets()(Index).IsEncrypted())
        Notes::PasswordUnencrypted();
    Notes::SetLastCommand(Notes::AuthPlainName());
    SmtpStep = Step::MailFrom;
    return true;
}

// MAIL FROM, with SMTPUTF8 when an address needs it (RFC 6531 3.4). Returns
// false when the server does not offer it and nothing was sent.
bool SendMailFrom(std::int16_t Index)
{
    const bool utf8 = NeedsUtf8(Index);
    if (utf8 && !Offers(GreetingReply, QStringLiteral("SMTPUTF8"))) {
        GiveUp(Index, Notes::SmtpUtf8NotOffered);
        return false;
    }
    // The domain goes as the resolver knows it, as in RCPT TO: a server that
    // takes no SMTPUTF8 refuses it in any other form.
    Command(Index, QStringLiteral("MAIL FROM:<") + AsciiAddress(Sender()) + QStringLiteral(">") +
                       (utf8 ? QStringLiteral(" SMTPUTF8") : QString()) + CRLF);
    Notes::SetLastCommand(Notes::CommandName(Step::MailFrom));
    SmtpStep = Step::RcptTo;
    return true;
}

// Sends the command of the current step and moves to the next one.
void SendStepCommand(std::int16_t Index)
{
    const std::int32_t sending = SmtpStep;
    switch (SmtpStep) {
    case Step::Helo:
        // AUTH and SMTPUTF8 are extensions: a client that needs one greets
        // with EHLO (RFC 4954, RFC 6531).
        EhloSent = LoggingIn() || NeedsUtf8(Index);
        Command(Index, Greeting(Index, EhloSent));
        SmtpStep = EhloSent ? Step::AuthLogin : Step::MailFrom;
        Notes::SetLastCommand(EhloSent ? QStringLiteral("EHLO") : Notes::CommandName(sending));
        break;
    case Step::AuthLogin:
        if (LoggingIn() ? !SendAuth(Index) : !SendMailFrom(Index))
            return;
        break;
    case Step::UserName:
        Command(Index, Base64Encode(SmtpUser) + CRLF);
        SmtpStep = Step::Password;
        Notes::SetLastCommand(Notes::CommandName(sending));
        break;
    case Step::Password:
        LogText(Colors::White, PasswordMask + CRLF);
        Send(Index, Base64Encode(SmtpPass) + CRLF);
        if (!Module1::Sockets()(Index).IsEncrypted())
            Notes::PasswordUnencrypted();
        SmtpStep = Step::MailFrom;
        Notes::SetLastCommand(Notes::CommandName(sending));
        break;
    case Step::MailFrom:
        if (!SendMailFrom(Index))
            return;
        break;
    case Step::RcptTo:
        Command(Index, QStringLiteral("RCPT TO:<") + AsciiAddress(Recipient(Index)) +
                           QStringLiteral(">") + CRLF);
        SmtpStep = Step::Data;
        Notes::SetLastCommand(Notes::CommandName(sending));
        break;
    case Step::Data:
        Command(Index, QStringLiteral("DATA") + CRLF);
        SmtpStep = Step::Message;
        Notes::SetLastCommand(Notes::CommandName(sending));
        break;
    case Step::Message:
        SendMessage(Index);
        SmtpStep = Step::Quit;
        Notes::SetLastCommand(Notes::CommandName(sending));
        break;
    case Step::Quit:
        Command(Index, QStringLiteral("QUIT") + CRLF);
        SmtpStep = Step::QuitSent;
        Notes::SetLastCommand(Notes::CommandName(sending));
        break;
    default:
        return; // no action: the reply is only logged
    }
    StartReplyDeadline(SmtpStep == Step::Quit ? DataReplyTimeoutMs : ReplyTimeoutMs);
}

// The answer to a login with an access token. A 334 carries the server's
// error; the client answers as the mechanism wants (XOAUTH2 an empty line,
// OAUTHBEARER a lone ^A, RFC 7628 3.2.3), and the refusal follows. Any
// other accepted reply is the login's success.
void AnswerTokenLogin(std::int16_t Index, const QString &code)
{
    if (code != u"334") {
        SmtpStep = Step::MailFrom;
        SendStepCommand(Index);
        return;
    }
    const QString label = Notes::LastCommand();
    Command(Index, (label == Notes::TokenLoginName(QStringLiteral("OAUTHBEARER"))
                        ? Base64Encode(QString(QChar(0x01)))
                        : QString()) +
                       CRLF);
    Notes::SetLastCommand(label);
    SmtpStep = Step::TokenRefused;
    StartReplyDeadline(ReplyTimeoutMs);
}

// EHLO refused by a server without extensions: greet with HELO instead and go
// on as after any greeting.
void FallBackToHelo(std::int16_t Index)
{
    EhloSent = false;
    Command(Index, Greeting(Index, false));
    Notes::SetLastCommand(Notes::CommandName(Step::Helo));
    StartReplyDeadline(ReplyTimeoutMs);
}

// The EHLO reply offers STARTTLS on a connection not yet encrypted: the
// password waits for TLS (RFC 3207).
void AskForTls(std::int16_t Index)
{
    Command(Index, QStringLiteral("STARTTLS") + CRLF);
    Notes::SetLastCommand(QStringLiteral("STARTTLS"));
    SmtpStep = Step::StartTls;
    StartReplyDeadline(ReplyTimeoutMs);
}

// The 220 to STARTTLS: the handshake begins on the same connection, within
// the deadline of a reply. Whatever the server sent beyond that 220 came
// unencrypted and could be anyone's: the run ends rather than read it as
// part of the encrypted session.
void BeginTls(std::int16_t Index)
{
    SocketElement &socket = Module1::Sockets()(Index);
    if (!Reply.IsEmpty() || socket.PlainBytesPending()) {
        Notes::PlainTextAfterStartTls();
        EndDialogue(Index);
        return;
    }
    Handshaking = true;
    SmtpStep = Step::Handshake;
    socket.StartClientEncryption(socket.RemoteHost);
    StartReplyDeadline(ReplyTimeoutMs);
}

// A refusal is a reply with a code. After one, the client still ends the
// session the polite way, so that servers log a QUIT rather than a lost
// connection; except after 421, with which the server closes by itself.
// Anything else is not an SMTP reply at all.
void NoteRefusal(std::int16_t Index, const QString &code)
{
    if (!ReplyFramer::IsReplyCode(code)) {
        Notes::NotAnSmtpReply();
        return;
    }
    if (code != u"421")
        QuitAfterRefusal(Index);
    Notes::Refused(code);
}
} // namespace

void AnswerReply(std::int16_t Index, const QString &reply, bool moreFollowed)
{
    LogText(Colors::Yellow, reply + CRLF);
    RunEvidence::ReplyLogged(reply);
    const QString code = reply.left(3);

    if (moreFollowed) {
        // The server sent more than one reply to one command.
        LogUnfinishedReply();
        if (SmtpStep == Step::StartTls && code == u"220")
            Notes::PlainTextAfterStartTls();
        else if (SmtpStep != Step::QuitSent)
            Notes::MoreThanOneReply();
        EndDialogue(Index);
    } else if (SmtpStep == Step::QuitSent || SmtpStep == Step::TokenRefused || !IsAccepted(code)) {
        // After a token's error only a refusal can come; anything else is
        // no login either.
        if (SmtpStep == Step::AuthLogin && EhloSent && RefusesEhlo(code)) {
            FallBackToHelo(Index);
            return;
        }
        if (SmtpStep != Step::QuitSent)
            NoteRefusal(Index, code);
        EndDialogue(Index);
    } else if (SmtpStep == Step::TokenLogin) {
        AnswerTokenLogin(Index, code);
    } else if (SmtpStep == Step::StartTls) {
        // Only 220 agrees to start TLS.
        if (code == u"220") {
            BeginTls(Index);
        } else {
            NoteRefusal(Index, code);
            EndDialogue(Index);
        }
    } else {
        // The answer to the greeting says what the server offers.
        if (SmtpStep == Step::AuthLogin)
            GreetingReply = reply;
        if (SmtpStep == Step::AuthLogin && EhloSent && LoggingIn() &&
            !Module1::Sockets()(Index).IsEncrypted() && Offers(reply, QStringLiteral("STARTTLS")))
            AskForTls(Index);
        else
            SendStepCommand(Index);
    }
}

void GreetAfterStartTls(std::int16_t Index)
{
    EhloSent = true;
    Command(Index, Greeting(Index, true));
    Notes::SetLastCommand(QStringLiteral("EHLO"));
    SmtpStep = Step::AuthLogin;
    StartReplyDeadline(ReplyTimeoutMs);
}

} // namespace modQuendel_EmailClient
