#include "engine/Notes.h"
#include "engine/ReplyDeadline.h"
#include "engine/RunEvidence.h"
#include "engine/WindowControls.h"
#include "engine/modQuendel_EmailClient.h"
#include "platform/LogControl.h"
#include "platform/SocketArray.h"
#include "util/Colors.h"

#include <QElapsedTimer>

using Module1::Sockets;

namespace modQuendel_EmailClient {

namespace {
bool SlotRunning(std::int16_t Index)
{
    return IsLiveSlot(Index) && !SlotEnded[std::size_t(Index)];
}

// While a reply is answered, the log waits: the answer goes to the network
// first, and the server works on it while the log lays out its lines.
class AnswerFirst
{
public:
    explicit AnswerFirst(std::int16_t index) : m_index(index) { Module1::Log().HoldInsertions(); }
    ~AnswerFirst()
    {
        if (Sockets().Exists(m_index))
            Sockets()(m_index).Flush();
        Module1::Log().InsertHeld();
    }
    AnswerFirst(const AnswerFirst &) = delete;
    AnswerFirst &operator=(const AnswerFirst &) = delete;

private:
    std::int16_t m_index;
};
} // namespace

void OnSockConnect(std::int16_t Index)
{
    // Nothing is sent: the server speaks first.
    CurrentSlot = Index;
    if (!SlotRunning(Index) || !SlotPending[std::size_t(Index)])
        return;
    Run.Slot.DialogueClock.start();
    const SocketElement &socket = Sockets()(Index);
    Notes::Connected(socket.RemoteHostIP(), socket.RemotePort, socket.RemoteHost);
    RunEvidence::StartReplyClock();
    Handshaking = ImplicitTls;
}

void OnSockEncrypted(std::int16_t Index)
{
    if (!SlotRunning(Index) || !SlotPending[std::size_t(Index)])
        return;
    Handshaking = false;
    const AnswerFirst answerFirst(Index);
    const SocketElement &socket = Sockets()(Index);
    Notes::Encrypted(socket.TlsSession(), socket.RemoteHost);
    RunEvidence::Encrypted(socket.TlsSession());
    if (SmtpStep == Step::Handshake)
        GreetAfterStartTls(Index);
}

void OnSockClose(std::int16_t Index)
{
    CurrentSlot = Index;
    if (!Sockets().Exists(Index))
        return;
    SocketElement &socket = Sockets()(Index);
    if (socket.State() == SocketState::Closing)
        socket.Close();
    // The server hung up before the dialogue ended it.
    if (SlotRunning(Index) && SlotPending[std::size_t(Index)]) {
        LogUnfinishedReply();
        if (SmtpStep != Step::QuitSent)
            Notes::ServerClosed();
        EndDialogue(Index);
    }
}

void OnSockSendProgress(std::int32_t BytesSent, std::int16_t Index)
{
    Q_UNUSED(BytesSent);
    Q_UNUSED(Index);
}

void OnSockError(std::int16_t Index, QAbstractSocket::SocketError Error, const QString &Description)
{
    if (SmtpStep == Step::QuitSent && SlotRunning(Index)) {
        EndDialogue(Index);
        return;
    }
    if (SlotRunning(Index) && Sockets().Exists(Index)) {
        const SocketElement &socket = Sockets()(Index);
        if (Handshaking) {
            const TlsFailure failure = socket.HandshakeFailure();
            Notes::HandshakeFailed(socket.RemoteHost, socket.RemotePort, failure);
            RunEvidence::HintAfterHandshakeFailure(failure.libraryText);
        } else {
            Notes::SocketError(Error, Description, socket.RemoteHost, socket.RemotePort);
            // Once something was sent, the note says what it waited for.
            if (!Run.Slot.LastCommand)
                RunEvidence::HintAfterConnectionError(Error);
        }
    }
    MarkSlotError(Index);
}

void OnSockDataArrival(std::int16_t Index)
{
    try {
        if (!SlotRunning(Index))
            return;
        const AnswerFirst answerFirst(Index);
        Reply.Append(Sockets()(Index).GetData());

        if (Reply.Overflowed()) {
            LogUnfinishedReply();
            if (SmtpStep != Step::QuitSent)
                Notes::ReplyTooLong();
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

void OnReplyTimeout()
{
    const std::int16_t Index = CurrentSlot;
    if (!SlotRunning(Index))
        return;
    LogUnfinishedReply();
    if (Handshaking)
        Notes::HandshakeTimedOut(ReplyDeadlineMs());
    else if (SmtpStep != Step::QuitSent)
        Notes::NoReply(ReplyDeadlineMs());
    EndDialogue(Index);
}

void EndDialogue(std::int16_t Index)
{
    if (Sockets().Exists(Index))
        Sockets()(Index).Close();

    // Once QUIT has gone out the server has accepted the message: whatever
    // ends the connection now, the slot was sent.
    if (SmtpStep == Step::QuitSent) {
        if (SlotRunning(Index))
            Notes::DialogueTook(Run.Slot.DialogueClock.elapsed());
        MarkSlotSent(Index);
        Module1::UnlockWindow();
    } else {
        MarkSlotError(Index);
    }
}

void LogUnfinishedReply()
{
    if (Reply.IsEmpty())
        return;
    Module1::Log().SetSelColor(Colors::Yellow);
    Module1::Log().InsertText(Reply.TakeAll().left(ReplyFramer::MaxReplyLength) +
                              QStringLiteral("\r\n"));
}

} // namespace modQuendel_EmailClient
