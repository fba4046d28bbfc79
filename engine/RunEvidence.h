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

// What the slot has seen; the run keeps it with the slot's state.
struct Seen
{
    bool loggedIn = false;
    bool encrypted = false;
    bool authOffered = true; // until an EHLO reply says otherwise
    QString greetingHost;
    QString certificateName;
    QString lastReply;
    QString tokenError;
};

// A command went out, or the connection or its TLS session began: the clock
// of the next reply starts.
void StartReplyClock();
// A complete reply has been logged: what it says is kept, and how long it
// took in milliseconds is returned.
qint64 ReplyLogged(const QString &reply);
// The TLS handshake has finished; a certificate that is not trusted for a
// reason a user can mend gets a hint.
void Encrypted(const TlsReport &report);
// The one choice of hints: the hint for what the log has just noted, if the
// evidence points to a cause; the MX lookups that would explain it start too.
void HintAfter(Hints::Event event, const QString &errorText = {});
// The connection failed before the greeting with this socket error.
void HintAfterConnectionError(QAbstractSocket::SocketError error);
// The TLS handshake failed; the socket describes why in its own words.
void HintAfterHandshakeFailure(const QString &description);

} // namespace RunEvidence
