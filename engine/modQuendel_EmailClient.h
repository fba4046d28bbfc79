#pragma once

#include "engine/RunInput.h"
#include "engine/RunState.h"

#include <QAbstractSocket>
#include <QString>
#include <cstdint>

// The mail engine: a run of send slots, each sent over its own socket element
// of the window's socket array, one after the other.
namespace modQuendel_EmailClient {

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

// The life of a run (MailRun.cpp). StartRun starts one from nothing: a fresh
// run state (RunState.h), the input values taken from the request, the window locked, the log
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
