#pragma once

#include <QHostAddress>
#include <QString>

// Where mail for a domain goes: its MX records, looked up after a failure
// that they explain. The verdict of the run waits for the answers, but never
// longer than the deadline: a resolver that does not answer costs no more.
namespace MxLookup {

struct Resolver
{
    bool enabled = true;
    QHostAddress nameserver; // none: the system's resolver
    int deadlineMs = 2000;
};
// The resolver of every lookup; tests point it at a server of their own.
Resolver &Settings();

// What a domain's records mean for the server typed.
enum class Subject {
    Recipient,  // the recipient's domain
    ServerName, // the name typed as the server, which has no address
};

// Starts a lookup of the domain's MX records; its hint goes to the log when
// every lookup started has its answer, or the deadline has passed.
void Start(const QString &domain, Subject subject, const QString &serverHost);
// Lookups have been started and their hints are not yet in the log.
bool Pending();

} // namespace MxLookup
