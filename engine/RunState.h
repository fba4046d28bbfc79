#pragma once

#include "engine/DialogueCommands.h"
#include "engine/MxLookup.h"
#include "engine/ReplyFramer.h"
#include "engine/RunEvidence.h"
#include "engine/RunObject.h"
#include "engine/Step.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <optional>

namespace modQuendel_EmailClient {

// Slots are numbered 1 to MaxSlots, each owning the socket element of its number.
constexpr std::int16_t MaxSlots = 100;
constexpr bool IsLiveSlot(std::int16_t Index)
{
    return Index >= 1 && Index <= MaxSlots;
}

// How long a reply is awaited (RFC 5321, 4.5.3.2): five minutes, ten for the
// reply to the end of the data. These are the program's settings, which tests
// shorten; each run takes them as they are at its start.
extern int ReplyTimeoutMs;
extern int DataReplyTimeoutMs;

// What the dialogue of one slot knows beside its step. Each slot starts with
// a fresh one, so nothing the slot before saw counts for it.
struct SlotState
{
    // The reply being assembled.
    ReplyFramer Reply;
    // The greeting awaiting its reply is EHLO.
    bool EhloSent = false;
    // The server's last accepted answer to EHLO (or to the HELO after a
    // refused EHLO): the extensions it offers. Empty before.
    QString GreetingReply;
    // The connection is encrypted from its start (port 465, RFC 8314), and a
    // TLS handshake is under way.
    bool ImplicitTls = false;
    bool Handshaking = false;
    // What was last sent; none while the greeting is awaited.
    std::optional<Command> LastCommand;
    // From the connection to the end of the dialogue; and from the last
    // command (or the connection, or the TLS session) to its reply.
    QElapsedTimer DialogueClock;
    QElapsedTimer ReplyClock;
    // What hints are judged by.
    RunEvidence::Seen Seen;
};

// Everything a run knows, in one owner. StartRun makes a fresh one, and with
// the old one goes everything of the run before, its timers and MX look-ups
// included.
struct RunState
{
    // Progress of a run. A slot ends exactly once, sent or failed.
    bool StepDone = false;
    std::int16_t SentCount = 0;
    std::int16_t ErrorCount = 0;
    std::array<bool, MaxSlots + 1> SlotPending{};
    std::int16_t CurrentSlot = 0;
    Step SmtpStep = Step::Helo;

    SlotState Slot;
    std::array<bool, MaxSlots + 1> SlotEnded{};
    // Ticks keep coming while the "Email Sent" box is open; they wait for it.
    bool MonitorBoxOpen = false;

    int ReplyMs = ReplyTimeoutMs;
    int DataReplyMs = DataReplyTimeoutMs;
    // The time the server has for its next reply.
    RunObject<QTimer> ReplyDeadline;
    // The MX look-ups that explain the failure at hand.
    MxLookup::Lookups Lookups;
};
// The run in progress, or the last one.
extern RunState Run;

// The engine's own names for the parts of the run's state.
inline bool &StepDone = Run.StepDone;
inline std::int16_t &SentCount = Run.SentCount;
inline std::int16_t &ErrorCount = Run.ErrorCount;
inline std::array<bool, MaxSlots + 1> &SlotPending = Run.SlotPending;
inline std::int16_t &CurrentSlot = Run.CurrentSlot;
inline Step &SmtpStep = Run.SmtpStep;
inline ReplyFramer &Reply = Run.Slot.Reply;
inline bool &EhloSent = Run.Slot.EhloSent;
inline QString &GreetingReply = Run.Slot.GreetingReply;
inline bool &ImplicitTls = Run.Slot.ImplicitTls;
inline bool &Handshaking = Run.Slot.Handshaking;
inline std::array<bool, MaxSlots + 1> &SlotEnded = Run.SlotEnded;

// A new slot begins: nothing its dialogue saw before counts.
void StartSlot(std::int16_t Index);

} // namespace modQuendel_EmailClient
