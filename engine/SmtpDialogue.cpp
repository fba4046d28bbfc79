#include "engine/AccessToken.h"
#include "engine/DialogueCommands.h"
#include "engine/Notes.h"
#include "engine/ReplyDeadline.h"
#include "engine/RunEvidence.h"
#include "engine/RunInput.h"
#include "engine/WindowControls.h"
#include "engine/modQuendel_EmailClient.h"
#include "platform/LogControl.h"
#include "platform/SocketArray.h"
#include "util/Base64.h"
#include "util/Colors.h"

#include <QRegularExpression>
#include <QStringList>

#include <optional>

using namespace Module1;

namespace modQuendel_EmailClient {

namespace {
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

void LogText(std::uint32_t colour, const QString &text)
{
    Module1::Log().SetSelColor(colour);
    Module1::Log().InsertText(text);
}

// Logs a text in white and sends it.
void LogAndSend(std::int16_t Index, const QString &text)
{
    LogText(Colors::White, text);
    Module1::Sockets()(Index).SendData(text);
}

// A command of the table goes out as the table says: the log shows what it
// may of it, the step moves on and the reply's deadline starts.
void SendCommand(std::int16_t Index, Command command)
{
    const CommandRow &row = RowOf(command);
    const CommandText text = row.text(Index);
    for (const QString &piece : text.logged)
        LogText(Colors::White, piece);
    Module1::Sockets()(Index).SendData(text.sent);
    if (row.carriesPassword && !Module1::Sockets()(Index).IsEncrypted()) {
        Notes::PasswordUnencrypted();
        RunEvidence::HintAfter(Hints::Event::PasswordUnencrypted);
    }
    SmtpStep = row.next;
    Run.Slot.LastCommand = command;
    RunEvidence::StartReplyClock();
    StartReplyDeadline(row.wait == ReplyWait::DataReply ? Run.DataReplyMs : Run.ReplyMs);
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

// QUIT goes out, and the connection closes without waiting for its answer.
void QuitAfterRefusal(std::int16_t Index)
{
    if (Module1::Sockets()(Index).State() == SocketState::Connected)
        LogAndSend(Index, QStringLiteral("QUIT") + CRLF);
}

// The client cannot go on with what the server offers: the session ends
// the polite way, and the note says why.
template <typename Note> void GiveUp(std::int16_t Index, Note note)
{
    QuitAfterRefusal(Index);
    note();
    EndDialogue(Index);
}

// The login for an access token: the standard mechanism where offered.
std::optional<Command> TokenLogin(const std::optional<QStringList> &offered)
{
    if (!offered || !AccessToken::IsAccessToken(SmtpPass))
        return {};
    if (offered->contains(QStringLiteral("OAUTHBEARER")))
        return Command::AuthOAuthBearer;
    if (offered->contains(QStringLiteral("XOAUTH2")))
        return Command::AuthXoauth2;
    return {};
}

// The login the EHLO reply allows (RFC 4954): an access token where a
// mechanism for it is offered; AUTH LOGIN when it is listed or no AUTH line
// says otherwise; AUTH PLAIN with the credentials in its initial response
// when only that is; else the run ends.
void SendAuth(std::int16_t Index)
{
    const std::optional<QStringList> offered = AuthMechanisms(GreetingReply);
    if (const std::optional<Command> token = TokenLogin(offered))
        SendCommand(Index, *token);
    else if (!offered || offered->contains(QStringLiteral("LOGIN")))
        SendCommand(Index, Command::AuthLogin);
    else if (offered->contains(QStringLiteral("PLAIN")))
        SendCommand(Index, Command::AuthPlain);
    else
        GiveUp(Index, [&offered] {
            Notes::NoUsableLogin(*offered);
            RunEvidence::HintAfter(Hints::Event::NoUsableLogin);
        });
}

// MAIL FROM, unless an address needs SMTPUTF8 (RFC 6531 3.4) and the server
// does not offer it.
void SendMailFrom(std::int16_t Index)
{
    if (NeedsUtf8(Index) && !Offers(GreetingReply, QStringLiteral("SMTPUTF8")))
        GiveUp(Index, Notes::SmtpUtf8NotOffered);
    else
        SendCommand(Index, Command::MailFrom);
}

// Sends the command of the current step and moves to the next one.
void SendStepCommand(std::int16_t Index)
{
    switch (SmtpStep) {
    case Step::Helo:
        // AUTH and SMTPUTF8 are extensions: a client that needs one greets
        // with EHLO (RFC 4954, RFC 6531).
        EhloSent = LoggingIn() || NeedsUtf8(Index);
        SendCommand(Index, EhloSent ? Command::Ehlo : Command::Helo);
        break;
    case Step::EhloReply:
        if (LoggingIn())
            SendAuth(Index);
        else
            SendMailFrom(Index);
        break;
    case Step::AuthLogin:
        SendAuth(Index);
        break;
    case Step::UserName:
        SendCommand(Index, Command::UserName);
        break;
    case Step::Password:
        SendCommand(Index, Command::Password);
        break;
    case Step::MailFrom:
        SendMailFrom(Index);
        break;
    case Step::RcptTo:
        SendCommand(Index, Command::RcptTo);
        break;
    case Step::Data:
        SendCommand(Index, Command::Data);
        break;
    case Step::Message:
        SendCommand(Index, Command::Message);
        break;
    case Step::Quit:
        SendCommand(Index, Command::Quit);
        break;
    case Step::QuitSent:
    case Step::StartTls:
    case Step::Handshake:
    case Step::TokenLogin:
    case Step::TokenRefused:
        break; // no action: the reply is only logged
    }
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
    LogAndSend(Index, (Run.Slot.LastCommand == Command::AuthOAuthBearer
                           ? Base64Encode(QString(QChar(0x01)))
                           : QString()) +
                          CRLF);
    RunEvidence::StartReplyClock();
    SmtpStep = Step::TokenRefused;
    StartReplyDeadline(Run.ReplyMs);
}

// EHLO refused by a server without extensions: greet with HELO instead and go
// on as after any greeting.
void FallBackToHelo(std::int16_t Index)
{
    EhloSent = false;
    SendCommand(Index, Command::HeloAfterEhlo);
}

// The EHLO reply offers STARTTLS on a connection not yet encrypted: the
// password waits for TLS (RFC 3207).
void AskForTls(std::int16_t Index)
{
    SendCommand(Index, Command::StartTls);
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
    StartReplyDeadline(Run.ReplyMs);
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
    RunEvidence::HintAfter(Hints::Event::Refused);
}
} // namespace

void AnswerReply(std::int16_t Index, const QString &reply, bool moreFollowed)
{
    LogText(Colors::Yellow, reply + CRLF);
    // A slow reply gets a note with its time, and a hint where the stage says why.
    if (const qint64 waited = RunEvidence::ReplyLogged(reply); waited > Hints::SlowReplyMs) {
        Notes::ReplyTook(waited);
        RunEvidence::HintAfter(Hints::Event::SlowReply);
    }
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
        if (SmtpStep == Step::EhloReply && EhloSent && RefusesEhlo(code)) {
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
        if (SmtpStep == Step::EhloReply)
            GreetingReply = reply;
        if (SmtpStep == Step::EhloReply && EhloSent && LoggingIn() &&
            !Module1::Sockets()(Index).IsEncrypted() && Offers(reply, QStringLiteral("STARTTLS")))
            AskForTls(Index);
        else
            SendStepCommand(Index);
    }
}

void GreetAfterStartTls(std::int16_t Index)
{
    EhloSent = true;
    SendCommand(Index, Command::Ehlo);
}

} // namespace modQuendel_EmailClient
