#include "app/Module1.h"
#include "app/WindowParts.h"
#include "engine/MessageText.h"
#include "engine/Notes.h"
#include "engine/ReplyDeadline.h"
#include "engine/RunEvidence.h"
#include "engine/modQuendel_EmailClient.h"
#include "platform/SocketArray.h"
#include "platform/StatusLog.h"
#include "util/Base64.h"
#include "util/Colors.h"

#include <QStringList>

#include <algorithm>

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

void SendMessage(std::int16_t Index)
{
    const QString &to = MailToAt(Index);
    Send(Index, QStringLiteral("From:") + QStringLiteral("Vormant") + QStringLiteral(" <") +
                    MailFrom + QStringLiteral(">") + CRLF);
    Send(Index, QStringLiteral("To:") + LocalPart(to) + QStringLiteral(" <") + to +
                    QStringLiteral(">") + CRLF);
    LogText(Colors::White, QStringLiteral("Subject: ") + MailSubject + CRLF);
    Send(Index, QStringLiteral("Subject:") + MailSubject + CRLF + CRLF);
    Send(Index, QStringLiteral("Test Message Sent: ") + DateText() + QStringLiteral("-") +
                    TimeText() + CRLF + BodyForWire(MailBody) + CRLF + CRLF);
    LogText(Colors::White, QStringLiteral(".") + CRLF);
    Send(Index, QStringLiteral(".") + CRLF);
}

// Sends the command of the current step and moves to the next one.
void SendStepCommand(std::int16_t Index)
{
    const QString local = LocalPart(MailToAt(Index));
    const std::int32_t sending = SmtpStep;
    const bool ehlo = SmtpStep == Step::Helo && LoggingIn();
    switch (SmtpStep) {
    case Step::Helo:
        // AUTH is an extension: a client that logs in greets with EHLO (RFC 4954).
        EhloSent = LoggingIn();
        Command(Index,
                (EhloSent ? QStringLiteral("EHLO ") : QStringLiteral("HELO ")) + local + CRLF);
        SmtpStep = LoggingIn() ? Step::AuthLogin : Step::MailFrom;
        break;
    case Step::AuthLogin:
        Command(Index, QStringLiteral("AUTH LOGIN") + CRLF);
        SmtpStep = Step::UserName;
        break;
    case Step::UserName:
        Command(Index, Base64Encode(SmtpUser) + CRLF);
        SmtpStep = Step::Password;
        break;
    case Step::Password:
        LogText(Colors::White, PasswordMask + CRLF);
        Send(Index, Base64Encode(SmtpPass) + CRLF);
        if (!Module1::Sockets()(Index).IsEncrypted())
            Notes::PasswordUnencrypted();
        SmtpStep = Step::MailFrom;
        break;
    case Step::MailFrom:
        Command(Index, QStringLiteral("MAIL FROM:<") + ReversePath(SmtpUser, LoggingIn()) +
                           QStringLiteral(">") + CRLF);
        SmtpStep = Step::RcptTo;
        break;
    case Step::RcptTo:
        Command(Index,
                QStringLiteral("RCPT TO:<") + Trim(MailToAt(Index)) + QStringLiteral(">") + CRLF);
        SmtpStep = Step::Data;
        break;
    case Step::Data:
        Command(Index, QStringLiteral("DATA") + CRLF);
        SmtpStep = Step::Message;
        break;
    case Step::Message:
        SendMessage(Index);
        SmtpStep = Step::Quit;
        break;
    case Step::Quit:
        Command(Index, QStringLiteral("QUIT") + CRLF);
        SmtpStep = Step::QuitSent;
        break;
    default:
        return; // no action: the reply is only logged
    }
    Notes::SetLastCommand(ehlo ? QStringLiteral("EHLO") : Notes::CommandName(sending));
    StartReplyDeadline(SmtpStep == Step::Quit ? DataReplyTimeoutMs : ReplyTimeoutMs);
}

// EHLO refused by a server without extensions: greet with HELO instead and go
// on as after any greeting.
void FallBackToHelo(std::int16_t Index)
{
    EhloSent = false;
    Command(Index, QStringLiteral("HELO ") + LocalPart(MailToAt(Index)) + CRLF);
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
    Winsock &socket = Module1::Sockets()(Index);
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

// QUIT goes out, and the connection closes without waiting for its answer.
void QuitAfterRefusal(std::int16_t Index)
{
    if (Module1::Sockets()(Index).State() == SocketState::Connected)
        Command(Index, QStringLiteral("QUIT") + CRLF);
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
    } else if (SmtpStep == Step::QuitSent || !IsAccepted(code)) {
        if (SmtpStep == Step::AuthLogin && EhloSent && RefusesEhlo(code)) {
            FallBackToHelo(Index);
            return;
        }
        if (SmtpStep != Step::QuitSent)
            NoteRefusal(Index, code);
        EndDialogue(Index);
    } else if (SmtpStep == Step::StartTls) {
        // Only 220 agrees to start TLS.
        if (code == u"220") {
            BeginTls(Index);
        } else {
            NoteRefusal(Index, code);
            EndDialogue(Index);
        }
    } else if (SmtpStep == Step::AuthLogin && EhloSent &&
               !Module1::Sockets()(Index).IsEncrypted() &&
               Offers(reply, QStringLiteral("STARTTLS"))) {
        AskForTls(Index);
    } else {
        SendStepCommand(Index);
    }
}

void GreetAfterStartTls(std::int16_t Index)
{
    EhloSent = true;
    Command(Index, QStringLiteral("EHLO ") + LocalPart(MailToAt(Index)) + CRLF);
    Notes::SetLastCommand(QStringLiteral("EHLO"));
    SmtpStep = Step::AuthLogin;
    StartReplyDeadline(ReplyTimeoutMs);
}

} // namespace modQuendel_EmailClient
