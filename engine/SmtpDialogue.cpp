#include "app/Module1.h"
#include "app/frmMain.h"
#include "engine/MessageText.h"
#include "engine/ReplyDeadline.h"
#include "engine/modQuendel_EmailClient.h"
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

// Servers that want EHLO before extensions refuse AUTH after HELO this way.
bool RefusesAuthAfterHelo(const QString &code)
{
    return code == u"500" || code == u"502" || code == u"503";
}

// A refusal is a reply with a code. After one, the client still ends the
// session the polite way, so that servers log a QUIT rather than a lost
// connection; except after 421, with which the server closes by itself.
bool IsRefusal(const QString &code)
{
    return code.size() == 3 &&
           std::all_of(code.cbegin(), code.cend(),
                       [](QChar c) { return c >= u'0' && c <= u'9'; }) &&
           code != u"421";
}

bool LoggingIn()
{
    return !SmtpPass.isEmpty() && !SmtpUser.isEmpty();
}

void LogText(std::uint32_t colour, const QString &text)
{
    MainForm->rtbStatus->SetSelColor(colour);
    MainForm->rtbStatus->InsertText(text);
}

void Send(std::int16_t Index, const QString &text)
{
    MainForm->EmailSock->operator()(Index).SendData(text);
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
    switch (SmtpStep) {
    case 0:
        Command(Index, QStringLiteral("HELO ") + local + CRLF);
        SmtpStep = LoggingIn() ? 1 : 4;
        break;
    case 1:
        Command(Index, QStringLiteral("AUTH LOGIN") + CRLF);
        SmtpStep = 2;
        break;
    case 2:
        Command(Index, Base64Encode(SmtpUser) + CRLF);
        SmtpStep = 3;
        break;
    case 3:
        LogText(Colors::White, PasswordMask + CRLF);
        Send(Index, Base64Encode(SmtpPass) + CRLF);
        SmtpStep = 4;
        break;
    case 4:
        Command(Index, QStringLiteral("MAIL FROM:<") + ReversePath(SmtpUser, LoggingIn()) +
                           QStringLiteral(">") + CRLF);
        SmtpStep = 5;
        break;
    case 5:
        Command(Index,
                QStringLiteral("RCPT TO:<") + Trim(MailToAt(Index)) + QStringLiteral(">") + CRLF);
        SmtpStep = 6;
        break;
    case 6:
        Command(Index, QStringLiteral("DATA") + CRLF);
        SmtpStep = 7;
        break;
    case 7:
        SendMessage(Index);
        SmtpStep = 8;
        break;
    case 8:
        Command(Index, QStringLiteral("QUIT") + CRLF);
        SmtpStep = 9;
        break;
    default:
        return; // no action: the reply is only logged
    }
    StartReplyDeadline(SmtpStep == 8 ? DataReplyTimeoutMs : ReplyTimeoutMs);
}

// AUTH refused after HELO: greet again with EHLO, then ask for AUTH once more.
void RetryWithEhlo(std::int16_t Index)
{
    EhloRetried = true;
    Command(Index, QStringLiteral("EHLO ") + LocalPart(MailToAt(Index)) + CRLF);
    SmtpStep = 1;
    StartReplyDeadline(ReplyTimeoutMs);
}

// QUIT goes out, and the connection closes without waiting for its answer.
void QuitAfterRefusal(std::int16_t Index)
{
    if (MainForm->EmailSock->operator()(Index).State() == SocketState::Connected)
        Command(Index, QStringLiteral("QUIT") + CRLF);
}

void AnswerReply(std::int16_t Index, const QString &reply, bool moreFollowed)
{
    LogText(Colors::Yellow, reply + CRLF);
    const QString code = reply.left(3);

    if (moreFollowed) {
        // The server sent more than one reply to one command.
        LogText(Colors::Yellow, Reply.TakeAll().left(ReplyFramer::MaxReplyLength) + CRLF);
        EndDialogue(Index);
    } else if (SmtpStep == 9 || !IsAccepted(code)) {
        if (SmtpStep == 2 && !EhloRetried && RefusesAuthAfterHelo(code)) {
            RetryWithEhlo(Index);
            return;
        }
        if (SmtpStep != 9 && IsRefusal(code))
            QuitAfterRefusal(Index);
        EndDialogue(Index);
    } else {
        SendStepCommand(Index);
    }
}
} // namespace

void OnSockDataArrival(std::int16_t Index)
{
    try {
        if (Index < 1 || Index > 100 || SlotEnded[std::size_t(Index)])
            return;
        Reply.Append(MainForm->EmailSock->operator()(Index).GetData());

        if (Reply.Overflowed()) {
            LogText(Colors::Yellow, Reply.TakeAll().left(ReplyFramer::MaxReplyLength) + CRLF);
            EndDialogue(Index);
            return;
        }
        if (!Reply.HasReply())
            return; // the rest of the reply is still on its way

        const QString reply = Reply.TakeReply();
        AnswerReply(Index, reply, !Reply.IsEmpty());
    } catch (const std::exception &) {
        // A command that cannot be sent ends the slot like a refusal.
        EndDialogue(Index);
    }
}

} // namespace modQuendel_EmailClient
