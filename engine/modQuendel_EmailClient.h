#pragma once

#include "engine/ReplyFramer.h"

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
} // namespace Step

// Slots are numbered 1 to MaxSlots, each owning the socket element of its number.
constexpr std::int16_t MaxSlots = 100;
constexpr bool IsLiveSlot(std::int16_t Index)
{
    return Index >= 1 && Index <= MaxSlots;
}

// Progress of a run. A slot ends exactly once, sent or failed.
extern bool StepDone;
extern std::int16_t SentCount;
extern std::int16_t ErrorCount;
extern std::array<bool, MaxSlots + 1> SlotPending;
extern std::int16_t CurrentSlot;
extern std::int32_t SmtpStep;

// The dialogue state beside the step: the reply being assembled, whether the
// greeting awaiting its reply is EHLO, and whether the slot ended.
extern ReplyFramer Reply;
extern bool EhloSent;
// The server's last accepted answer to EHLO (or to the HELO after a refused
// EHLO): the extensions it offers. Empty before.
extern QString GreetingReply;
// The connection is encrypted from its start (port 465, RFC 8314), and a
// TLS handshake is under way.
extern bool ImplicitTls;
extern bool Handshaking;
extern std::array<bool, MaxSlots + 1> SlotEnded;

// How long a reply is awaited (RFC 5321, 4.5.3.2): five minutes, ten for the
// reply to the end of the data. Tests shorten them.
extern int ReplyTimeoutMs;
extern int DataReplyTimeoutMs;

// The life of a run (MailRun.cpp).
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
void OnSockError(std::int16_t Index, std::int32_t Number, const QString &Description);
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
