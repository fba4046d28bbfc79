#include "engine/MxLookup.h"

#include "engine/Hints.h"
#include "engine/Notes.h"
#include "engine/WindowControls.h"
#include "engine/modQuendel_EmailClient.h"
#include "platform/UntrappedError.h"

#include <QDnsLookup>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <utility>

namespace MxLookup {

namespace {
struct Lookup
{
    QPointer<QDnsLookup> dns;
    QString domain;
    Subject subject = Subject::Recipient;
    QString serverHost;
    bool answered = false;
    Hints::Hint hint;
};

// The lookups of the failure at hand, in the order they were started: their
// hints reach the log in that order, whichever answer comes first.
QList<Lookup> Lookups;

void Finish();

// One timer on the window, made when first needed. Lookups live on the window
// too: a window that goes takes them along.
QTimer *DeadlineTimer()
{
    static QPointer<QTimer> timer;
    if (!timer) {
        timer = new QTimer(&Module1::MonitorTimer());
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, timer, [] { Trapped(Finish); });
        QObject::connect(timer, &QObject::destroyed, [] { Lookups.clear(); });
    }
    return timer;
}

// Every hint that has its answer goes to the log; a lookup still waiting is
// given up (its answer, should one come, reaches nobody), and the verdict,
// which waited for this, comes now.
void Finish()
{
    DeadlineTimer()->stop();
    const QList<Lookup> lookups = std::exchange(Lookups, {});
    for (const Lookup &lookup : lookups) {
        if (lookup.dns) {
            QObject::disconnect(lookup.dns, nullptr, nullptr, nullptr);
            lookup.dns->deleteLater();
        }
        Notes::Hint(lookup.hint);
    }
    modQuendel_EmailClient::CheckOutcomeSoon();
}

void Answered(QDnsLookup *dns)
{
    bool allAnswered = true;
    for (Lookup &lookup : Lookups) {
        if (lookup.dns == dns) {
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
    if (!Settings().enabled || name.isEmpty() || domain.startsWith(u'['))
        return;
    for (const Lookup &lookup : Lookups) {
        if (lookup.domain == domain)
            return;
    }
    auto *dns = new QDnsLookup(QDnsLookup::MX, name, &Module1::MonitorTimer());
    if (!Settings().nameserver.isNull())
        dns->setNameserver(Settings().nameserver);
    QObject::connect(dns, &QDnsLookup::finished, dns, [dns] { Trapped([dns] { Answered(dns); }); });
    Lookups << Lookup{dns, domain, subject, serverHost, false, {}};
    if (!DeadlineTimer()->isActive())
        DeadlineTimer()->start(Settings().deadlineMs);
    dns->lookup();
}

bool Pending()
{
    return !Lookups.isEmpty();
}

} // namespace MxLookup
