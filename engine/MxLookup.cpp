#include "engine/MxLookup.h"

#include "engine/Hints.h"
#include "engine/Notes.h"
#include "engine/RunState.h"
#include "engine/WindowControls.h"
#include "engine/modQuendel_EmailClient.h"
#include "platform/UntrappedError.h"

#include <QDnsLookup>
#include <QList>
#include <QTimer>
#include <QUrl>

#include <utility>

namespace MxLookup {

namespace {
using modQuendel_EmailClient::Run;

void Finish();

// A window that goes takes the lookups along, and their deadline.
QTimer &DeadlineTimer()
{
    const bool made = !Run.Lookups.deadline;
    QTimer &timer = RunTimer(Run.Lookups.deadline, Finish);
    if (made)
        QObject::connect(&timer, &QObject::destroyed, [] { Run.Lookups.started.clear(); });
    return timer;
}

// Every hint that has its answer goes to the log; a lookup still waiting is
// given up (its answer, should one come, reaches nobody), and the verdict,
// which waited for this, comes now.
void Finish()
{
    DeadlineTimer().stop();
    // A lookup still waiting goes with its entry.
    const std::vector<Lookup> lookups = std::exchange(Run.Lookups.started, {});
    for (const Lookup &lookup : lookups) {
        Notes::Hint(lookup.hint);
    }
    modQuendel_EmailClient::CheckOutcomeSoon();
}

void Answered(QDnsLookup *dns)
{
    bool allAnswered = true;
    for (Lookup &lookup : Run.Lookups.started) {
        if (lookup.dns.get() == dns) {
            QList<Hints::MailHost> hosts;
            if (dns->error() == QDnsLookup::NoError) {
                for (const QDnsMailExchangeRecord &record : dns->mailExchangeRecords())
                    hosts << Hints::MailHost{record.exchange(), record.preference()};
            }
            lookup.answered = true;
            lookup.hint = Hints::ForMailHosts(
                lookup.domain, hosts, lookup.subject == Subject::ServerName, lookup.serverHost);
        }
        allAnswered = allAnswered && lookup.answered;
    }
    if (allAnswered)
        Finish();
}
} // namespace

Resolver &Settings()
{
    static Resolver resolver;
    return resolver;
}

void Start(const QString &domain, Subject subject, const QString &serverHost)
{
    // A name the resolver can be asked for: ASCII (IDNA), not an address literal.
    const QString name = QString::fromLatin1(QUrl::toAce(domain));
    const Resolver &resolver = Run.Lookups.resolver;
    if (!resolver.enabled || name.isEmpty() || domain.startsWith(u'['))
        return;
    for (const Lookup &lookup : Run.Lookups.started) {
        if (lookup.domain == domain)
            return;
    }
    auto *dns = new QDnsLookup(QDnsLookup::MX, name, &Module1::MonitorTimer());
    if (!resolver.nameserver.isNull())
        dns->setNameserver(resolver.nameserver);
    QObject::connect(dns, &QDnsLookup::finished, dns, [dns] { Trapped([dns] { Answered(dns); }); });
    Run.Lookups.started.push_back(
        Lookup{RunObject<QDnsLookup>(dns), domain, subject, serverHost, false, {}});
    if (!DeadlineTimer().isActive())
        DeadlineTimer().start(resolver.deadlineMs);
    dns->lookup();
}

bool Pending()
{
    return !Run.Lookups.started.empty();
}

} // namespace MxLookup
