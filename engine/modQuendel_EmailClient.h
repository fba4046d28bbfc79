#pragma once

#include "engine/ReplyFramer.h"

#include <array>
#include <cstdint>

// The mail engine: a run of send slots, each sent over its own socket element
// of the window's socket array, one after the other.
namespace modQuendel_EmailClient {

// Progress of a run. A slot ends exactly once, sent or failed.
extern bool StepDone;
extern std::int16_t SentCount;
extern std::int16_t ErrorCount;
extern std::array<bool, 101> SlotPending;
extern std::int16_t CurrentSlot;
extern std::int32_t SmtpStep;

// The dialogue state beside the step: the reply being assembled, whether the
// AUTH refusal was already answered with EHLO, and whether the slot ended.
extern ReplyFramer Reply;
extern bool EhloRetried;
extern std::array<bool, 101> SlotEnded;

// How long a reply is awaited (RFC 5321, 4.5.3.2): five minutes, ten for the
// reply to the end of the data. Tests shorten them.
extern int ReplyTimeoutMs;
extern int DataReplyTimeoutMs;

// Starting and waiting.
void SendMail();
void LoadSockets();
void ConnectPendingSlots();
void WaitStepDone();
void UnloadSockets();

// The outcome of a slot.
void MarkSlotSent(std::int16_t Index);
void MarkSlotError(std::int16_t Index);

// Socket events.
void OnSockConnect(std::int16_t Index);
void OnSockClose(std::int16_t Index);
void OnSockSendProgress(std::int32_t BytesSent, std::int16_t Index);
void OnSockDataArrival(std::int16_t Index);
// A socket error fails the slot, unless QUIT has gone out already.
void OnSockError(std::int16_t Index);

// The end of a slot's dialogue: the socket is closed, and the slot counts as
// sent once QUIT has gone out, as failed before that.
void EndDialogue(std::int16_t Index);
void OnReplyTimeout();

// The progress monitor and the end of a run.
void MonitorTick();
void FinishMailRun();

} // namespace modQuendel_EmailClient
