#include "engine/Hints.h"

#include "util/FillText.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace Hints {

namespace {

// Every hint's text, in one place. %-arguments: %1 the host typed (an IPv6
// address in brackets), %2 the port, %3 the recipient's domain, %4 the
// recipient, %5 the name the certificate is issued for, %6 the server field
// without scheme or path, %7 the submission ports to try, host included.
// The hints of MX records: %1 the domain, %2 its mail hosts with their
// preferences.
struct Entry
{
    Cause cause;
    QString text;
};
const Entry Table[] = {
    {Cause::AnotherPort, QStringLiteral("the server probably takes mail from its users on another "
                                        "port: type %7, with your user name and password.")},
    {Cause::PortBlocked,
     QStringLiteral("many networks block outgoing connections to port 25, probably this one too: "
                    "type %7, with your user name and password.")},
    {Cause::SchemeOrPath, QStringLiteral("the server field takes the server's name or address "
                                         "alone, a port after a colon if need be: type %6.")},
    {Cause::RefusedByPolicy,
     QStringLiteral("the server probably refuses this computer's address, by its policy (a home or "
                    "dynamic address) or because the address is on a block list: test from "
                    "another network, or ask the server's administrator.")},
    {Cause::RelayWithoutLogin,
     QStringLiteral("the server does not pass mail on to %3 for a client that has not logged in: "
                    "type your user name and password, or send to an address at a domain the "
                    "server takes mail for.")},
    {Cause::RelayProbably,
     QStringLiteral("the server probably does not pass mail on to %3 for a client that has not "
                    "logged in: type your user name and password, or send to an address at a "
                    "domain the server takes mail for.")},
    {Cause::RelayDespiteLogin,
     QStringLiteral("the server does not pass mail on to %3 even for this login: it probably takes "
                    "mail only for its own domains. Send through your provider's submission "
                    "server (port 587 or 465) instead.")},
    {Cause::RelayOrUnknownRecipient,
     QStringLiteral("either the server does not pass mail on to %3 without a login, or it does not "
                    "know the recipient: type your user name and password, or check the address.")},
    {Cause::UnknownRecipient, QStringLiteral("the server does not know the recipient %4: check the "
                                             "address, the part before the @ above all.")},
    {Cause::UnknownRecipientProbably,
     QStringLiteral("the server probably does not know the recipient %4: check the address.")},
    {Cause::UnknownDomain,
     QStringLiteral("the server cannot deliver to the domain %3: check the part after the @.")},
    {Cause::MailboxFull, QStringLiteral("the recipient's mailbox is full: test with another "
                                        "recipient, or ask the recipient to make room.")},
    {Cause::Greylisted, QStringLiteral("the server delays mail from senders it has not seen before "
                                       "(greylisting): test again in a few minutes.")},
    {Cause::LoginRefused,
     QStringLiteral("the user name is often the whole mail address, not only the part before the "
                    "@; some providers want an app password made for mail programs instead of "
                    "the usual one.")},
    {Cause::NoAuthOffered,
     QStringLiteral("the server offers no login on port %2 (its EHLO reply has no AUTH): type %7 "
                    "to log in there, or leave user name and password empty to send to an "
                    "address the server takes mail for.")},
    {Cause::NoLoginOnThisPort,
     QStringLiteral("the server probably takes no login on port %2: a provider's server takes "
                    "logins on its submission ports; type %7.")},
    {Cause::NoCommonMechanism,
     QStringLiteral("the server probably offers no login mechanism that Vormant can use here: "
                    "type %7, or ask the server's administrator.")},
    {Cause::TlsBeforeLogin,
     QStringLiteral("the server wants TLS before the login but offers no STARTTLS here: type "
                    "%1:465 for TLS from the start.")},
    {Cause::LoginFirst, QStringLiteral("the server probably takes mail only from users who log "
                                       "in: type your user name and password.")},
    {Cause::SenderRefusedForLogin,
     QStringLiteral("the server probably does not let this login send as the sender Vormant gave "
                    "(the user name): type as the user name the address the account sends from.")},
    {Cause::NullSenderRefused,
     QStringLiteral("the server probably refuses the empty sender <> that Vormant gives without a "
                    "login: type your whole mail address as the user name, and your password, so "
                    "that it becomes the sender.")},
    {Cause::MessageByFilter,
     QStringLiteral("the server read the message and refused it, probably by a content filter "
                    "(spam) or by policy: ask the server's administrator what its log says, or "
                    "test with another message text.")},
    {Cause::MessageTooLarge,
     QStringLiteral("the message is probably larger than the server takes (the SIZE line of its "
                    "EHLO reply gives the limit): test with a shorter message.")},
    {Cause::CertificateName,
     QStringLiteral("type the name the certificate is issued for, %5, as the server: then the "
                    "certificate can be checked against the name.")},
    {Cause::CertificateChain,
     QStringLiteral("the server probably does not send the intermediate certificates of its "
                    "chain, or a private authority issued it: ask the server's administrator to "
                    "send the whole chain.")},
    {Cause::NoTlsFromTheStart,
     QStringLiteral("the server probably does not speak TLS from the start on port %2: type "
                    "%1:587, where Vormant starts TLS with STARTTLS.")},
    {Cause::TlsTooOld,
     QStringLiteral("probably the server offers only TLS versions or ciphers that this computer "
                    "no longer accepts (TLS 1.0 or 1.1): ask the server's administrator to enable "
                    "TLS 1.2 or later.")},
    {Cause::PasswordOverSubmission,
     QStringLiteral("type %7 if the server offers it: there the password goes encrypted. Change "
                    "the password if others can read this network.")},
    {Cause::SlowGreeting,
     QStringLiteral("a greeting this slow is probably the server looking up this computer's name "
                    "(reverse DNS), or a deliberate pause against spam; mail programs with short "
                    "time-outs give up on it.")},
    {Cause::SlowFilter,
     QStringLiteral("a reply this slow to the end of the data is probably the server's content "
                    "filter (spam and virus checks) at work.")},
    {Cause::MailHosts,
     QStringLiteral("mail for %1 is received by %2: to test delivery, type one of "
                    "them as the server.")},
    {Cause::ServerNameIsMailDomain,
     QStringLiteral("%1 is a mail domain without an address of its own: its mail is received by "
                    "%2; type one of them as the server.")},
    {Cause::NoMailAccepted,
     QStringLiteral("%1 accepts no mail at all: its MX record says so (a null MX).")},
    {Cause::Unauthenticated,
     QStringLiteral("the receiver refuses mail that the sender's domain does not vouch for "
                    "(DMARC, SPF, DKIM): test through the sender's own submission server, "
                    "type it with port 587 or 465 and log in with your mail address.")},
    {Cause::PasswordLoginsOff,
     QStringLiteral("the server takes no password for this mailbox (basic authentication is "
                    "switched off): paste an OAuth 2.0 access token for the mailbox in Pass, or "
                    "ask its administrator to turn on authenticated SMTP (SMTP AUTH) for it.")},
    {Cause::AppPasswordRequired,
     QStringLiteral("the account has 2-Step Verification and takes no ordinary password here: "
                    "make an app password in the account's security settings and paste it in "
                    "Pass, or paste an OAuth 2.0 access token.")},
    {Cause::TokenRefused,
     QStringLiteral("an access token lasts about an hour and must be issued for the mailbox of "
                    "the user name with the scope for mail (the scope the server names): get a "
                    "new token and paste it in Pass.")},
    {Cause::AddressRefused,
     QStringLiteral("the server refuses this computer's address, not the message (a block list, "
                    "or an address without a name in DNS): test from a network it accepts, or "
                    "log in on %1:587.")},
    {Cause::RateLimited,
     QStringLiteral("the server takes no more mail from this computer's address for now (a rate "
                    "limit, often for a whole network): wait, and test again later.")},
};

QString TextOf(Cause cause)
{
    for (const Entry &entry : Table) {
        if (entry.cause == cause)
            return entry.text;
    }
    return {};
}

// A line stays readable; the first hosts by preference are the ones to try.
constexpr qsizetype MaxMailHostsShown = 5;

constexpr std::int32_t SmtpPort = 25;
constexpr std::int32_t StartTlsPort = 587;
constexpr std::int32_t TlsPort = 465;

bool IsSubmissionPort(std::int32_t port)
{
    return port == StartTlsPort || port == TlsPort;
}

QString HostForField(const QString &host)
{
    return host.contains(u':') ? QStringLiteral("[%1]").arg(host) : host;
}

// The submission ports other than the one tried, as the server field takes them.
QString OtherSubmissionPorts(const QString &host, std::int32_t port)
{
    const QString h = HostForField(host);
    if (port == StartTlsPort)
        return h + QStringLiteral(":465 (TLS)");
    if (port == TlsPort)
        return h + QStringLiteral(":587 (STARTTLS)");
    return h + QStringLiteral(":587 (STARTTLS) or ") + h + QStringLiteral(":465 (TLS)");
}

bool Says(const QString &reply, const QStringList &words)
{
    for (const QString &word : words) {
        if (reply.contains(word, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// OpenSSL's words for a peer that offers no protocol version or cipher it accepts.
QStringList TooOldForTls()
{
    return {QStringLiteral("unsupported protocol"),   QStringLiteral("protocol version"),
            QStringLiteral("no protocols available"), QStringLiteral("version too low"),
            QStringLiteral("no shared cipher"),       QStringLiteral("no ciphers available")};
}

Cause AfterConnectionFailure(const Evidence &e)
{
    if (!WithoutSchemeOrPath(e.serverField).isEmpty())
        return Cause::SchemeOrPath;
    const bool knownPort = e.port == SmtpPort || IsSubmissionPort(e.port);
    if (e.event == Event::ConnectionRefused && knownPort)
        return Cause::AnotherPort;
    if (e.event == Event::ConnectTimedOut && knownPort)
        return e.port == SmtpPort ? Cause::PortBlocked : Cause::AnotherPort;
    return Cause::None;
}

// A reply's text, its lines joined without their codes: words that a
// multi-line reply breaks over two lines are found all the same.
QString ReplyWords(const QString &reply)
{
    static const QRegularExpression lineStart(
        QStringLiteral("(^|\\r?\\n)\\d{3}[ -]([245]\\.\\d{1,3}\\.\\d{1,3} )?"));
    return QString(reply).replace(lineStart, QStringLiteral(" ")).simplified();
}

// Enhanced codes (RFC 3463) by which large providers name their refusals.
bool IsBannedAddressCode(const QString &enhanced)
{
    // Microsoft: 5.7.606 to 5.7.649 "banned sending IP", 5.7.708 "traffic
    // not accepted from this IP".
    static const QRegularExpression banned(
        QStringLiteral("^5\\.7\\.(6(0[6-9]|[1-3]\\d|4[0-9])|708)$"));
    return banned.match(enhanced).hasMatch();
}

// What a filtering receiver or a large provider refuses, whatever was sent:
// this computer's address, its rate, or mail its sender's domain does not
// vouch for. Their words are the same at every step.
Cause ByReceiversPolicy(const Evidence &e, const QString &enhanced)
{
    const QString text = ReplyWords(e.reply);
    // Gmail 4.7.28 and 4.7.0 "unusual rate", Microsoft 4.7.500 "server busy".
    if (enhanced == u"4.7.28" || enhanced == u"4.7.500" ||
        (enhanced.startsWith(QStringLiteral("4.7.")) &&
         Says(text, {QStringLiteral("unusual rate")})))
        return Cause::RateLimited;
    // Block lists (Postfix "blocked using", Spamhaus, Microsoft's own), and
    // Postfix's check of the client's name in DNS.
    if (IsBannedAddressCode(enhanced) ||
        Says(text, {QStringLiteral("blocked using"), QStringLiteral("listed at"),
                    QStringLiteral("spamhaus"), QStringLiteral("on our block list"),
                    QStringLiteral("cannot find your hostname"),
                    QStringLiteral("cannot find your reverse hostname")}))
        return Cause::AddressRefused;
    // Gmail 5.7.26 and 5.7.27, Microsoft 5.7.509, OpenDMARC's "rejected by
    // DMARC policy".
    if (enhanced == u"5.7.26" || enhanced == u"5.7.27" || enhanced == u"5.7.509" ||
        Says(text, {QStringLiteral("DMARC")}))
        return Cause::Unauthenticated;
    return Cause::None;
}

// The credentials refused: by their kind where the words say it.
Cause AtCredentials(const Evidence &e, const QString &code, const QString &enhanced)
{
    const QString text = ReplyWords(e.reply);
    // Microsoft 365 535 5.7.139 "basic authentication is disabled",
    // "SmtpClientAuthentication is disabled for the Mailbox".
    if (enhanced == u"5.7.139" ||
        Says(text, {QStringLiteral("basic authentication is disabled"),
                    QStringLiteral("SmtpClientAuthentication is disabled")}))
        return Cause::PasswordLoginsOff;
    if (e.tokenLogin)
        return code.startsWith(u'5') ? Cause::TokenRefused : Cause::None;
    // Gmail 534-5.7.9 "Application-specific password required".
    if (enhanced == u"5.7.9" || Says(text, {QStringLiteral("application-specific password")}))
        return Cause::AppPasswordRequired;
    return code == u"535" || enhanced == u"5.7.8" ? Cause::LoginRefused : Cause::None;
}

Cause AtAuthCommand(const Evidence &e, const QString &code, const QString &enhanced)
{
    // Must issue STARTTLS first; encryption required (RFC 4954, 6).
    if ((code == u"530" || code == u"538" || enhanced == u"5.7.11") && !e.encrypted)
        return Cause::TlsBeforeLogin;
    if (!code.startsWith(u'5'))
        return Cause::None;
    if (!e.authOffered)
        return Cause::NoAuthOffered;
    // 504: the mechanism is not implemented (RFC 4954, 4).
    if (code == u"504" || Says(e.reply, {QStringLiteral("mechanism")}) || IsSubmissionPort(e.port))
        return Cause::NoCommonMechanism;
    return Cause::NoLoginOnThisPort;
}

Cause AtMailFrom(const Evidence &e, const QString &code, const QString &enhanced)
{
    if (code == u"530" || enhanced == u"5.7.0" || enhanced == u"5.7.1")
        return e.loggedIn ? Cause::SenderRefusedForLogin : Cause::LoginFirst;
    if (code == u"553" || enhanced.startsWith(QStringLiteral("5.1.")))
        return e.loggedIn ? Cause::SenderRefusedForLogin : Cause::NullSenderRefused;
    return Cause::None;
}

Cause AtRcptTo(const Evidence &e, const QString &code, const QString &enhanced)
{
    if ((code == u"530" || enhanced == u"5.7.0") && !e.loggedIn)
        return Cause::LoginFirst;
    if (Says(e.reply, {QStringLiteral("relay")}))
        return e.loggedIn ? Cause::RelayDespiteLogin : Cause::RelayWithoutLogin;
    if (enhanced == u"5.1.1" ||
        Says(e.reply, {QStringLiteral("user unknown"), QStringLiteral("unknown user"),
                       QStringLiteral("no such user"), QStringLiteral("unrouteable address"),
                       QStringLiteral("mailbox unavailable")}))
        return Cause::UnknownRecipient;
    if (enhanced == u"5.1.2")
        return Cause::UnknownDomain;
    if (enhanced == u"5.2.2")
        return Cause::MailboxFull;
    if (code.startsWith(u'4') && Says(e.reply, {QStringLiteral("greylist")}))
        return Cause::Greylisted;
    const bool elsewhere = !e.loggedIn && !e.domainIsServers;
    if ((enhanced == u"5.7.1" || enhanced == u"4.7.1") && elsewhere)
        return Cause::RelayProbably;
    if ((code == u"550" || code == u"554") && (enhanced.isEmpty() || enhanced == u"5.0.0"))
        return elsewhere ? Cause::RelayOrUnknownRecipient : Cause::UnknownRecipientProbably;
    return Cause::None;
}

Cause AtEndOfData(const Evidence &e, const QString &code, const QString &enhanced)
{
    if (enhanced == u"5.2.2")
        return Cause::MailboxFull;
    if (code == u"552" || enhanced == u"5.3.4")
        return Cause::MessageTooLarge;
    if (enhanced.startsWith(QStringLiteral("5.7.")) || Says(e.reply, {QStringLiteral("spam")}))
        return Cause::MessageByFilter;
    return Cause::None;
}

Cause AfterRefusal(const Evidence &e)
{
    const QString code = e.reply.left(3);
    const QString enhanced = EnhancedCode(e.reply);
    if (const Cause cause = ByReceiversPolicy(e, enhanced); cause != Cause::None)
        return cause;
    switch (e.stage) {
    case Stage::Greeting:
        return code == u"554" || enhanced.startsWith(QStringLiteral("5.7."))
                   ? Cause::RefusedByPolicy
                   : Cause::None;
    case Stage::Hello:
        return code == u"530" && !e.loggedIn ? Cause::LoginFirst : Cause::None;
    case Stage::AuthCommand:
        return AtAuthCommand(e, code, enhanced);
    case Stage::Credentials:
        return AtCredentials(e, code, enhanced);
    case Stage::MailFrom:
        return AtMailFrom(e, code, enhanced);
    case Stage::RcptTo:
        return AtRcptTo(e, code, enhanced);
    case Stage::Message:
        return AtEndOfData(e, code, enhanced);
    default:
        return Cause::None;
    }
}

Cause Diagnose(const Evidence &e)
{
    switch (e.event) {
    case Event::ConnectionRefused:
    case Event::ConnectTimedOut:
    case Event::HostNotFound:
    case Event::ConnectFailed:
    case Event::NotStarted:
        return AfterConnectionFailure(e);
    case Event::Refused:
        return AfterRefusal(e);
    case Event::NoUsableLogin:
        return Cause::NoCommonMechanism;
    case Event::HandshakeFailed:
        if (e.implicitTls)
            return Cause::NoTlsFromTheStart;
        return Says(e.errorText, TooOldForTls()) ? Cause::TlsTooOld : Cause::None;
    case Event::CertificateOtherName:
        return e.certificateName.isEmpty() ? Cause::None : Cause::CertificateName;
    case Event::CertificateUnknownIssuer:
        return Cause::CertificateChain;
    case Event::PasswordUnencrypted:
        return e.implicitTls ? Cause::None : Cause::PasswordOverSubmission;
    case Event::SlowReply:
        if (e.stage == Stage::Greeting)
            return Cause::SlowGreeting;
        return e.stage == Stage::Message ? Cause::SlowFilter : Cause::None;
    }
    return Cause::None;
}

bool SendsMailElsewhere(Cause cause)
{
    return cause == Cause::RelayWithoutLogin || cause == Cause::RelayProbably ||
           cause == Cause::RelayDespiteLogin || cause == Cause::RelayOrUnknownRecipient;
}

// Where the connection failed, the recipient's mail hosts are the servers to
// test instead; not where the field could not be used at all.
bool IsConnectionFailure(Event event)
{
    return event == Event::ConnectionRefused || event == Event::ConnectTimedOut ||
           event == Event::HostNotFound || event == Event::ConnectFailed;
}
} // namespace

Hint Choose(const Evidence &evidence)
{
    const Cause cause = Diagnose(evidence);
    Hint hint = Worded(cause, evidence);
    hint.lookUpRecipientMx = SendsMailElsewhere(cause) || IsConnectionFailure(evidence.event);
    return hint;
}

Hint Worded(Cause cause, const Evidence &evidence)
{
    Hint hint;
    if (cause == Cause::None)
        return hint;
    hint.cause = cause;
    hint.text = FillText(TextOf(cause),
                         {HostForField(evidence.host), QString::number(evidence.port),
                          DomainOf(evidence.recipient), evidence.recipient.trimmed(),
                          evidence.certificateName, WithoutSchemeOrPath(evidence.serverField),
                          OtherSubmissionPorts(evidence.host, evidence.port)});
    return hint;
}

Hint ForMailHosts(const QString &domain, QList<MailHost> hosts, bool domainIsServerTyped,
                  const QString &serverHost)
{
    // A name from the resolver may end with the root's dot.
    const auto bare = [](const QString &name) {
        return (name.endsWith(u'.') ? name.chopped(1) : name).toLower();
    };
    if (hosts.isEmpty())
        return {};
    if (hosts.size() == 1 && bare(hosts.first().name).isEmpty())
        return {Cause::NoMailAccepted, FillText(TextOf(Cause::NoMailAccepted), {domain})};
    std::sort(hosts.begin(), hosts.end(), [&bare](const MailHost &a, const MailHost &b) {
        return a.preference != b.preference ? a.preference < b.preference
                                            : bare(a.name) < bare(b.name);
    });
    QStringList shown;
    for (const MailHost &host : hosts) {
        if (bare(host.name) == bare(serverHost))
            return {}; // the server typed is one of them: nothing to add
        if (shown.size() < MaxMailHostsShown)
            shown << QStringLiteral("%1 (%2)").arg(bare(host.name)).arg(host.preference);
    }
    const Cause cause = domainIsServerTyped ? Cause::ServerNameIsMailDomain : Cause::MailHosts;
    return {cause, FillText(TextOf(cause), {domain, shown.join(QStringLiteral(", "))})};
}

QString EnhancedCode(const QString &reply)
{
    // The class, then subject and detail of up to three digits (RFC 3463, 2),
    // after the reply code and its separator.
    static const QRegularExpression code(
        QStringLiteral("^\\d{3}[ -]([245]\\.\\d{1,3}\\.\\d{1,3})(?![\\d.])"));
    return code.match(reply).captured(1);
}

QString DomainOf(const QString &address)
{
    const QString trimmed = address.trimmed();
    const qsizetype at = trimmed.lastIndexOf(u'@');
    return at < 0 ? QString() : trimmed.mid(at + 1).toLower();
}

bool IsServersDomain(const QString &domain, const QString &serverName)
{
    if (domain.isEmpty() || serverName.isEmpty())
        return false;
    const QString name = serverName.toLower();
    return name == domain || name.endsWith(u'.' + domain);
}

QString WithoutSchemeOrPath(const QString &field)
{
    QString name = field.trimmed();
    const qsizetype scheme = name.indexOf(QStringLiteral("://"));
    if (scheme < 0 && !name.contains(u'/'))
        return {};
    if (scheme >= 0)
        name = name.mid(scheme + 3);
    name = name.section(u'/', 0, 0);
    return name;
}

} // namespace Hints
