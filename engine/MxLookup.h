#pragma once

#include "engine/Hints.h"
#include "engine/RunObject.h"

#include <QDnsLookup>
#include <QHostAddress>
#include <QString>
#include <QTimer>
#include <vector>

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
// The resolver of every run's lookups; tests point it at a server of their own.
Resolver &Settings();

// What a domain's records mean for the server typed.
enum class Subject {
    Recipient,  // the recipient's domain
    ServerName, // the name typed as the server, which has no address
};

struct Lookup
{
    RunObject<QDnsLookup> dns;
    QString domain;
    Subject subject = Subject::Recipient;
    QString serverHost;
    bool answered = false;
    Hints::Hint hint;
};

// The lookups of the failure at hand, in the order they were started (their
// hints reach the log in that order, whichever answer comes first), and the
// deadline of them all. The run owns them.
struct Lookups
{
    // The resolver as the settings name it at the start of the run.
    Resolver resolver = Settings();
    std::vector<Lookup> started;
    RunObject<QTimer> deadline;
};

// Starts a lookup of the domain's MX records; its hint goes to the log when
// every lookup started has its answer, or the deadline has passed.
void Start(const QString &domain, Subject subject, const QString &serverHost);
// Lookups have been started and their hints are not yet in the log.
bool Pending();

} // namespace MxLookup
