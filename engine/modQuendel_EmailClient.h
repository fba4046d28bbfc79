#pragma once

#include "engine/ReplyFramer.h"
#include "engine/RunInput.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QString>
#include <array>
#include <cstdint>

// The mail engine: a run of send slots, each sent over its own socket element
// of the window's socket array, one after the other.
namespace modQuendel_EmailClient {

// The values of SmtpStep: what the client sends when the next accepted reply
// arrives. The step only moves forward; QuitSent is the last.
namespace Step {
constexpr std::int32_t Helo = 0;
constexpr std::int32_t AuthLogin = 1;
constexpr std::int32_t UserName = 2;
constexpr std::int32_t Password = 3;
constexpr std::int32_t MailFrom = 4;
constexpr std::int32_t RcptTo = 5;
constexpr std::int32_t Data = 6;
constexpr std::int32_t Message = 7;
constexpr std::int32_t Quit = 8;
constexpr std::int32_t QuitSent = 9;
// Beside the line above, for a login protected by TLS (RFC 3207): STARTTLS
// sent, its 220 starts the handshake; the handshake running, its end sends
// EHLO again, whose reply then leads to AUTH LOGIN.
constexpr std::int32_t StartTls = 10;
constexpr std::int32_t Handshake = 11;
// Beside it too, a login with an access token: its AUTH sent, a 235 leads to
// MAIL FROM; the 334 with the server's error is answered so that the server
// can end the exchange with its refusal, the only reply still awaited.
constexpr std::int32_t TokenLogin = 12;
constexpr std::int32_t TokenRefused = 13;
} // namespace Step

// Slots are numbered 1 to MaxSlots, each owning the socket element of its number.
constexpr std::int16_t MaxSlots = 100;
constexpr bool IsLiveSlot(std::int16_t Index)
{
    return Index >= 1 && Index <= MaxSlots;
}

// Everything a run knows, in one place; StartRun begins each run with a
// fresh one, so nothing of the run before can leak into it.
struct RunState
{
    // Progress of a run. A slot ends exactly once, sent or failed.
    bool StepDone = false;
    std::int16_t SentCount = 0;
    std::int16_t ErrorCount = 0;
    std::array<bool, MaxSlots + 1> SlotPending{};
    std::int16_t CurrentSlot = 0;
    std::int32_t SmtpStep = 0;

    // The dialogue state beside the step: the reply being assembled, whether
    // the greeting awaiting its reply is EHLO, and whether the slot ended.
    ReplyFramer Reply;
    bool EhloSent = false;
    // The server's last accepted answer to EHLO (or to the HELO after a
    // refused EHLO): the extensions it offers. Empty before.
    QString GreetingReply;
    // The connection is encrypted from its start (port 465, RFC 8314), and a
    // TLS handshake is under way.
    bool ImplicitTls = false;
    bool Handshaking = false;
    std::array<bool, MaxSlots + 1> SlotEnded{};

    // What was last sent, as the notes name it; empty while the greeting is awaited.
    QString LastCommand;
    // From the connection to the end of the dialogue.
    QElapsedTimer DialogueClock;
    // Ticks keep coming while the "Email Sent" box is open; they wait for it.
    bool MonitorBoxOpen = false;
};
extern RunState Run;

// The engine's own names for the parts of the run's state.
inline bool &StepDone = Run.StepDone;
inline std::int16_t &SentCount = Run.SentCount;
inline std::int16_t &ErrorCount = Run.ErrorCount;
inline std::array<bool, MaxSlots + 1> &SlotPending = Run.SlotPending;
inline std::int16_t &CurrentSlot = Run.CurrentSlot;
inline std::int32_t &SmtpStep = Run.SmtpStep;
inline ReplyFramer &Reply = Run.Reply;
inline bool &EhloSent = Run.EhloSent;
inline QString &GreetingReply = Run.GreetingReply;
inline bool &ImplicitTls = Run.ImplicitTls;
inline bool &Handshaking = Run.Handshaking;
inline std::array<bool, MaxSlots + 1> &SlotEnded = Run.SlotEnded;

// What a run is asked to do: the fields of the window, as the Test command
// found them.
struct RunRequest
{
    QString message;
    QString email;
    QString user;
    QString pass;
    QString server;
};

// How long a reply is awaited (RFC 5321, 4.5.3.2): five minutes, ten for the
// reply to the end of the data. Tests shorten them.
extern int ReplyTimeoutMs;
extern int DataReplyTimeoutMs;

// The life of a run (MailRun.cpp). StartRun starts one from nothing: a fresh
// state, the input values taken from the request, the window locked, the log
// cleared with its first line, and then SendMail, which returns when the run's
// last slot has ended.
void StartRun(const RunRequest &request);
void SendMail();
void LoadSockets();
void ConnectPendingSlots();
void WaitStepDone();
void UnloadSockets();
void MarkSlotSent(std::int16_t Index);
void MarkSlotError(std::int16_t Index);

// Socket events and the end of a slot's dialogue (SocketEvents.cpp).
void OnSockConnect(std::int16_t Index);
// The TLS handshake has finished: the log reports the session, and after
// STARTTLS the client greets again.
void OnSockEncrypted(std::int16_t Index);
void OnSockClose(std::int16_t Index);
void OnSockSendProgress(std::int32_t BytesSent, std::int16_t Index);
void OnSockDataArrival(std::int16_t Index);
// A socket error fails the slot, unless QUIT has gone out already; the log
// says why in the socket's own words.
void OnSockError(std::int16_t Index, QAbstractSocket::SocketError Error,
                 const QString &Description);
void OnReplyTimeout();
// The socket is closed, and the slot counts as sent once QUIT has gone out,
// as failed before that.
void EndDialogue(std::int16_t Index);

// The SMTP steps (SmtpDialogue.cpp): one complete reply is logged and
// answered; moreFollowed says the server sent more than that one reply.
void AnswerReply(std::int16_t Index, const QString &reply, bool moreFollowed);
// After the handshake that STARTTLS began: EHLO again, since everything the
// server said before no longer counts (RFC 3207, 4.2).
void GreetAfterStartTls(std::int16_t Index);

// The progress monitor and the end of a run (Monitor.cpp). The monitor
// judges the run soon after an outcome, outside the event that decided it;
// it waits while hints of the run are still being looked up.
void CheckOutcomeSoon();
void MonitorTick();
void FinishMailRun();

// What the log shows of a reply the server never finished, cut at the
// length of a reply.
void LogUnfinishedReply();

} // namespace modQuendel_EmailClient
