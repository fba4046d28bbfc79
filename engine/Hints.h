#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <cstdint>

// What to try next after a failure: the likely cause, judged from what the
// run has seen, and only where that evidence points to one. A hint adds to the
// note before it and never restates it; "probably" marks a guess.
namespace Hints {
Q_NAMESPACE

// Where the run stood when it failed: what was last sent, or the connection.
enum class Stage {
    Connect,
    Greeting,
    Hello, // HELO or EHLO
    StartTls,
    AuthCommand, // AUTH before any credential went out
    Credentials, // the user name, the password, or AUTH with its credentials
    MailFrom,
    RcptTo,
    Data,
    Message, // the end of the data
    Quit,
};

// What went wrong, or what the log reported that calls for a hint.
enum class Event {
    ConnectionRefused,
    ConnectTimedOut,
    HostNotFound,
    ConnectFailed, // any other failure to connect
    NotStarted,    // the connection could not even be started (the field is unusable)
    Refused,       // a reply refused what was last sent
    NoUsableLogin, // the EHLO reply offers no login mechanism that Vormant speaks
    HandshakeFailed,
    CertificateOtherName,
    CertificateUnknownIssuer,
    PasswordUnencrypted,
    SlowReply, // a reply came, but took more than SlowReplyMs
};

// A reply slower than this gets a note with its time.
constexpr qint64 SlowReplyMs = 1000;

struct Evidence
{
    Event event = Event::Refused;
    Stage stage = Stage::Connect;
    QString reply;       // the refusing reply as received, its code first
    QString serverField; // the server field as typed
    QString host;        // the host part of it
    std::int32_t port = 25;
    QString recipient;            // the recipient as typed
    bool loggedIn = false;        // the server accepted the login (235)
    bool tokenLogin = false;      // the login was with an OAuth 2.0 access token
    bool encrypted = false;       // the connection is encrypted
    bool authOffered = true;      // the last EHLO reply offered AUTH (true when unknown)
    bool domainIsServers = false; // the recipient's domain is the server's own name
    bool implicitTls = false;     // TLS from the start (port 465)
    QString certificateName;      // the name the server's certificate is issued for
    QString errorText;            // the socket's own description of a failed handshake
};

// What a hint names as the likely cause: one value for each text a hint can
// have, so that a reader can tell hints apart without reading their words.
enum class Cause {
    None,
    AnotherPort,
    PortBlocked,
    SchemeOrPath,
    RefusedByPolicy,
    RelayWithoutLogin,
    RelayProbably,
    RelayDespiteLogin,
    RelayOrUnknownRecipient,
    UnknownRecipient,
    UnknownRecipientProbably,
    UnknownDomain,
    MailboxFull,
    Greylisted,
    LoginRefused,
    NoAuthOffered,
    NoLoginOnThisPort,
    NoCommonMechanism,
    TlsBeforeLogin,
    LoginFirst,
    SenderRefusedForLogin,
    NullSenderRefused,
    MessageByFilter,
    MessageTooLarge,
    CertificateName,
    CertificateChain,
    NoTlsFromTheStart,
    TlsTooOld,
    PasswordOverSubmission,
    SlowGreeting,
    SlowFilter,
    MailHosts,
    ServerNameIsMailDomain,
    NoMailAccepted,
    Unauthenticated,
    PasswordLoginsOff,
    AppPasswordRequired,
    TokenRefused,
    AddressRefused,
    RateLimited,
};
Q_ENUM_NS(Cause)

struct Hint
{
    Cause cause = Cause::None;
    QString text; // without "Hint: "; empty where nothing points to a cause
    // Where the recipient's mail goes would help: the domain's MX hosts.
    bool lookUpRecipientMx = false;
};

Hint Choose(const Evidence &evidence);
// The hint of that cause as it reads for this evidence, whatever the evidence
// points to; no hint for Cause::None. Hints of MX records come from ForMailHosts.
Hint Worded(Cause cause, const Evidence &evidence);

// One MX record: the host that receives a domain's mail, and its preference.
struct MailHost
{
    QString name;
    int preference = 0;
};
// What a domain's MX records tell: which hosts take its mail, or that it takes
// none. No hint when there are no records, or when the server typed is one of
// the hosts already. domainIsServerTyped: the domain is the name typed as the
// server, which has no address of its own.
Hint ForMailHosts(const QString &domain, QList<MailHost> hosts, bool domainIsServerTyped,
                  const QString &serverHost);

// The enhanced status code (RFC 3463) at the start of a reply's text, "5.7.1";
// empty when the reply has none.
QString EnhancedCode(const QString &reply);
// The domain of an address: the part after its last "@", lower case, empty
// when there is none.
QString DomainOf(const QString &address);
// Whether a mail domain is the server's own name, or a parent domain of it
// (mail.example.org for example.org). serverName may be a greeting's host name.
bool IsServersDomain(const QString &domain, const QString &serverName);
// The server field typed with a scheme ("smtp://") or a path ("/"), as the
// name alone with its port; empty when the field has neither.
QString WithoutSchemeOrPath(const QString &field);

} // namespace Hints
