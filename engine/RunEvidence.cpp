#include "engine/RunEvidence.h"

#include "engine/AccessToken.h"
#include "engine/MxLookup.h"
#include "engine/Notes.h"
#include "engine/RunInput.h"
#include "engine/RunState.h"
#include "engine/ServerAddress.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QRegularExpression>

namespace RunEvidence {

namespace {
using modQuendel_EmailClient::Command;
using modQuendel_EmailClient::Run;
Seen &Slot()
{
    return Run.Slot.Seen;
}

// The stage by the command last sent.
Hints::Stage Stage()
{
    return Run.Slot.LastCommand ? modQuendel_EmailClient::RowOf(*Run.Slot.LastCommand).stage
                                : Hints::Stage::Greeting;
}

bool TokenLogin()
{
    return Run.Slot.LastCommand && modQuendel_EmailClient::IsTokenLogin(*Run.Slot.LastCommand);
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
    evidence.stage = IsConnectionFailure(event) ? Hints::Stage::Connect : Stage();
    evidence.reply = Slot().lastReply;
    evidence.serverField = Module1::SmtpServer;
    evidence.host = server.host;
    evidence.port = server.port;
    evidence.recipient = Recipient();
    evidence.loggedIn = Slot().loggedIn;
    evidence.tokenLogin = TokenLogin();
    evidence.encrypted = Slot().encrypted;
    evidence.authOffered = Slot().authOffered;
    const QString domain = Hints::DomainOf(evidence.recipient);
    evidence.domainIsServers = Hints::IsServersDomain(domain, server.host) ||
                               Hints::IsServersDomain(domain, Slot().greetingHost);
    evidence.implicitTls = modQuendel_EmailClient::ImplicitTls;
    evidence.certificateName = Slot().certificateName;
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

void StartReplyClock()
{
    Run.Slot.ReplyClock.start();
}

qint64 ReplyLogged(const QString &reply)
{
    const std::optional<Command> command = Run.Slot.LastCommand;
    const QString code = reply.left(3);
    if (!command && code == u"220")
        Slot().greetingHost = reply.mid(4).section(QRegularExpression(QStringLiteral("\\s")), 0, 0);
    if (command == Command::Ehlo && code == u"250")
        Slot().authOffered = OffersAuth(reply);
    if (code == u"235")
        Slot().loggedIn = true;
    if (code == u"334" && TokenLogin())
        Slot().tokenError = AccessToken::ErrorOf(reply);
    Slot().lastReply = reply;

    QElapsedTimer &clock = Run.Slot.ReplyClock;
    const qint64 waited = clock.isValid() ? clock.elapsed() : 0;
    clock.invalidate();
    return waited;
}

void Encrypted(const TlsReport &report)
{
    Slot().encrypted = true;
    Slot().certificateName = report.subject;
    StartReplyClock();
    if (report.trust == TlsReport::Trust::OtherName)
        HintAfter(Hints::Event::CertificateOtherName);
    else if (report.trust == TlsReport::Trust::UnknownIssuer)
        HintAfter(Hints::Event::CertificateUnknownIssuer);
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
