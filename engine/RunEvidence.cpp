#include "engine/RunEvidence.h"

#include "engine/AccessToken.h"
#include "engine/MxLookup.h"
#include "engine/Notes.h"
#include "engine/RunInput.h"
#include "engine/ServerAddress.h"
#include "engine/modQuendel_EmailClient.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QRegularExpression>

namespace RunEvidence {

namespace {
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
Seen Slot;
QElapsedTimer ReplyClock;

// The stage by the command last sent, as the notes name it.
Hints::Stage StageOf(const QString &command)
{
    namespace Step = modQuendel_EmailClient::Step;
    using Hints::Stage;
    if (command.isEmpty())
        return Stage::Greeting;
    if (command == u"EHLO" || command == Notes::CommandName(Step::Helo))
        return Stage::Hello;
    if (command == u"STARTTLS")
        return Stage::StartTls;
    // AUTH PLAIN and the token logins carry the credentials with the command.
    if (command.startsWith(QStringLiteral("AUTH PLAIN")) || Notes::IsTokenLogin(command))
        return Stage::Credentials;
    if (command.startsWith(QStringLiteral("AUTH")))
        return Stage::AuthCommand;
    const std::pair<std::int32_t, Stage> steps[] = {{Step::UserName, Stage::Credentials},
                                                    {Step::Password, Stage::Credentials},
                                                    {Step::MailFrom, Stage::MailFrom},
                                                    {Step::RcptTo, Stage::RcptTo},
                                                    {Step::Data, Stage::Data},
                                                    {Step::Message, Stage::Message},
                                                    {Step::Quit, Stage::Quit}};
    for (const auto &[step, stage] : steps) {
        if (command == Notes::CommandName(step))
            return stage;
    }
    return Stage::Connect;
}

QString Recipient()
{
    const auto slot = std::size_t(modQuendel_EmailClient::CurrentSlot);
    return slot >= 1 && slot < Module1::MailTo.size() ? Module1::MailTo.at(slot) : QString();
}

bool IsConnectionFailure(Hints::Event event)
{
    using Hints::Event;
    return event == Event::ConnectionRefused || event == Event::ConnectTimedOut ||
           event == Event::HostNotFound || event == Event::ConnectFailed ||
           event == Event::NotStarted;
}

Hints::Evidence EvidenceOf(Hints::Event event)
{
    const ServerAddress server = ParseServerAddress(Module1::SmtpServer);
    Hints::Evidence evidence;
    evidence.event = event;
    evidence.stage =
        IsConnectionFailure(event) ? Hints::Stage::Connect : StageOf(Notes::LastCommand());
    evidence.reply = Slot.lastReply;
    evidence.serverField = Module1::SmtpServer;
    evidence.host = server.host;
    evidence.port = server.port;
    evidence.recipient = Recipient();
    evidence.loggedIn = Slot.loggedIn;
    evidence.tokenLogin = Notes::IsTokenLogin(Notes::LastCommand());
    evidence.encrypted = Slot.encrypted;
    evidence.authOffered = Slot.authOffered;
    const QString domain = Hints::DomainOf(evidence.recipient);
    evidence.domainIsServers = Hints::IsServersDomain(domain, server.host) ||
                               Hints::IsServersDomain(domain, Slot.greetingHost);
    evidence.implicitTls = modQuendel_EmailClient::ImplicitTls;
    evidence.certificateName = Slot.certificateName;
    return evidence;
}

// An EHLO reply line, after the first, whose keyword is AUTH (RFC 4954, 3;
// some servers still write "AUTH=").
bool OffersAuth(const QString &ehloReply)
{
    static const QRegularExpression auth(QStringLiteral("\\n\\d{3}[ -]AUTH[ =]"),
                                         QRegularExpression::CaseInsensitiveOption);
    return auth.match(ehloReply).hasMatch();
}

// A host name, not an address: a name that may be a mail domain.
bool IsName(const QString &host)
{
    return !host.trimmed().isEmpty() && QHostAddress(host).isNull();
}
} // namespace

void StartSlot()
{
    Slot = {};
    ReplyClock.invalidate();
}

void StartReplyClock()
{
    ReplyClock.start();
}

void ReplyLogged(const QString &reply)
{
    const QString command = Notes::LastCommand();
    const QString code = reply.left(3);
    if (command.isEmpty() && code == u"220")
        Slot.greetingHost = reply.mid(4).section(QRegularExpression(QStringLiteral("\\s")), 0, 0);
    if (command == u"EHLO" && code == u"250")
        Slot.authOffered = OffersAuth(reply);
    if (code == u"235")
        Slot.loggedIn = true;
    if (code == u"334" && Notes::IsTokenLogin(command))
        Slot.tokenError = AccessToken::ErrorOf(reply);
    Slot.lastReply = reply;

    const qint64 waited = ReplyClock.isValid() ? ReplyClock.elapsed() : 0;
    ReplyClock.invalidate();
    if (waited <= Hints::SlowReplyMs)
        return;
    Notes::ReplyTook(waited);
    HintAfter(Hints::Event::SlowReply);
}

void Encrypted(const TlsReport &report)
{
    Slot.encrypted = true;
    Slot.certificateName = report.subject;
    StartReplyClock();
    if (report.trust == TlsReport::Trust::OtherName)
        HintAfter(Hints::Event::CertificateOtherName);
    else if (report.trust == TlsReport::Trust::UnknownIssuer)
        HintAfter(Hints::Event::CertificateUnknownIssuer);
}

QString TokenError()
{
    return Slot.tokenError;
}

void HintAfter(Hints::Event event, const QString &errorText)
{
    Hints::Evidence evidence = EvidenceOf(event);
    evidence.errorText = errorText;
    const Hints::Hint hint = Hints::Choose(evidence);
    Notes::Hint(hint);
    // A name typed as the server that has no address may be a mail domain.
    if (event == Hints::Event::HostNotFound && IsName(evidence.host) &&
        Hints::WithoutSchemeOrPath(evidence.serverField).isEmpty())
        MxLookup::Start(evidence.host.trimmed().toLower(), MxLookup::Subject::ServerName,
                        evidence.host);
    if (hint.lookUpRecipientMx)
        MxLookup::Start(Hints::DomainOf(evidence.recipient), MxLookup::Subject::Recipient,
                        evidence.host);
}

void HintAfterHandshakeFailure(const QString &description)
{
    HintAfter(Hints::Event::HandshakeFailed, description);
}

void HintAfterConnectionError(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        HintAfter(Hints::Event::ConnectionRefused);
        break;
    case QAbstractSocket::SocketTimeoutError:
        HintAfter(Hints::Event::ConnectTimedOut);
        break;
    case QAbstractSocket::HostNotFoundError:
        HintAfter(Hints::Event::HostNotFound);
        break;
    default:
        HintAfter(Hints::Event::ConnectFailed);
        break;
    }
}

} // namespace RunEvidence
