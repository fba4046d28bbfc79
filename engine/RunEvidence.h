#pragma once

#include "engine/Hints.h"
#include "platform/TlsReport.h"

#include <QAbstractSocket>
#include <QString>
#include <cstdint>

// What a slot's dialogue has shown so far that hints are judged by: the last
// reply, the login, the encryption, what the EHLO reply offered, the server's
// own name; and how long the reply awaited has taken.
namespace RunEvidence {

// A new slot begins: nothing seen yet.
void StartSlot();
// A command went out, or the connection or its TLS session began: the clock
// of the next reply starts.
void StartReplyClock();
// A complete reply has been logged. One that took longer than the slow-reply
// limit gets a note with its time, and a hint where the step says why.
void ReplyLogged(const QString &reply);
// The TLS handshake has finished.
void Encrypted(const TlsReport &report);
// The error the server gave for an access token in its 334 challenge, as
// notes quote it; empty when it gave none that could be read.
QString TokenError();

// The hint for what the log has just noted, if the evidence points to a
// cause; the MX lookups that would explain it start too.
void HintAfter(Hints::Event event, const QString &errorText = {});
// The connection failed before the greeting with this socket error.
void HintAfterConnectionError(QAbstractSocket::SocketError error);
// The TLS handshake failed; the socket describes why in its own words.
void HintAfterHandshakeFailure(const QString &description);

} // namespace RunEvidence
