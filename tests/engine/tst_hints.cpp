#include "support/DnsServer.h"
#include "support/EngineRun.h"
#include "support/Expectations.h"
#include "support/MxResolver.h"
#include "support/ScriptedServer.h"

#include "engine/DialogueCommands.h"
#include "engine/Hints.h"
#include "engine/Notes.h"
#include "engine/RunEvidence.h"
#include "engine/RunState.h"
#include "util/Colors.h"

#include <QtTest>

#include <algorithm>
#include <functional>

// Which hint the evidence of a failure leads to, with the replies real servers
// give (../shared/servers.md): the cause the hint names, what it fills in from
// the evidence, and whether the recipient's MX hosts are looked up. The causes
// whose hints end the whole logs of the other engine suites are tested there.
// Each text of a note or a hint is checked once, in the tables of texts.
class tst_Hints : public QObject
{
    Q_OBJECT
private slots:
    void choice_data();
    void choice();
    void mailHosts_data();
    void mailHosts();
    void enhancedCode_data();
    void enhancedCode();
    void mailHostsOfARun_data();
    void mailHostsOfARun();
    void hintTexts_data();
    void hintTexts();
    void noteTexts_data();
    void noteTexts();
};

using Cause = Hints::Cause;
using Id = Notes::Id;
using Hints::Event;
using Hints::Stage;

namespace {
// Evidence of a run to mx.test port 25, no login, unencrypted, for
// bob@remote.example, a domain that is not the server's.
Hints::Evidence Base(Event event, Stage stage, const char *reply = "")
{
    Hints::Evidence evidence;
    evidence.event = event;
    evidence.stage = stage;
    evidence.reply = QString::fromUtf8(reply);
    evidence.serverField = QStringLiteral("mx.test");
    evidence.host = QStringLiteral("mx.test");
    evidence.recipient = QStringLiteral("bob@remote.example");
    return evidence;
}

Hints::Evidence LoggedIn(Hints::Evidence evidence)
{
    evidence.loggedIn = true;
    return evidence;
}

Hints::Evidence ToServersDomain(Hints::Evidence evidence)
{
    evidence.recipient = QStringLiteral("nosuchuser@localhost");
    evidence.domainIsServers = true;
    return evidence;
}

Hints::Evidence OnPort(Hints::Evidence evidence, std::int32_t port, const char *host = "mx.test")
{
    evidence.port = port;
    evidence.host = QString::fromUtf8(host);
    evidence.serverField =
        port == 25 ? evidence.host : evidence.host + u':' + QString::number(port);
    return evidence;
}

Hints::Evidence Typed(Hints::Evidence evidence, const char *field, const char *host)
{
    evidence.serverField = QString::fromUtf8(field);
    evidence.host = QString::fromUtf8(host);
    return evidence;
}
} // namespace

Q_DECLARE_METATYPE(Hints::Evidence)

void tst_Hints::choice_data()
{
    QTest::addColumn<Hints::Evidence>("evidence");
    QTest::addColumn<Cause>("cause");
    QTest::addColumn<QString>("detail"); // what the hint fills in from the evidence
    QTest::addColumn<bool>("mx");

    const QString none;

    // The connection.
    QTest::newRow("refused on 587") << OnPort(Base(Event::ConnectionRefused, Stage::Connect), 587)
                                    << Cause::AnotherPort << "mx.test:465 (TLS)" << true;
    QTest::newRow("refused on 465") << OnPort(Base(Event::ConnectionRefused, Stage::Connect), 465)
                                    << Cause::AnotherPort << "mx.test:587 (STARTTLS)" << true;
    QTest::newRow("refused on another port: nothing known")
        << OnPort(Base(Event::ConnectionRefused, Stage::Connect), 2525) << Cause::None << none
        << true;
    QTest::newRow("refused on 25 of an IPv6 address")
        << OnPort(Base(Event::ConnectionRefused, Stage::Connect), 25, "::1") << Cause::AnotherPort
        << "[::1]:587 (STARTTLS) or [::1]:465 (TLS)" << true;
    QTest::newRow("time-out on 25") << OnPort(Base(Event::ConnectTimedOut, Stage::Connect), 25)
                                    << Cause::PortBlocked << "mx.test:587 (STARTTLS)" << true;
    QTest::newRow("time-out on 465") << OnPort(Base(Event::ConnectTimedOut, Stage::Connect), 465)
                                     << Cause::AnotherPort << "mx.test:587 (STARTTLS)" << true;
    QTest::newRow("host not found, a path typed")
        << Typed(Base(Event::HostNotFound, Stage::Connect), "mail.example.com/",
                 "mail.example.com/")
        << Cause::SchemeOrPath << "mail.example.com" << true;
    QTest::newRow("a scheme typed: the field cannot be used")
        << Typed(Base(Event::NotStarted, Stage::Connect), "smtp://mail.example.com:587", "smtp")
        << Cause::SchemeOrPath << "mail.example.com:587" << false;
    QTest::newRow("not started, no scheme")
        << Base(Event::NotStarted, Stage::Connect) << Cause::None << none << false;
    QTest::newRow("network unreachable")
        << Base(Event::ConnectFailed, Stage::Connect) << Cause::None << none << true;

    // The greeting and the greeting command.
    QTest::newRow("greeting 421: nothing known")
        << Base(Event::Refused, Stage::Greeting, "421 4.3.2 Service not available") << Cause::None
        << none << false;
    QTest::newRow("aiosmtpd, require_starttls, HELO without login")
        << Base(Event::Refused, Stage::Hello, "530 Must issue a STARTTLS command first")
        << Cause::LoginFirst << none << false;
    QTest::newRow("Postfix, HELO not fully qualified")
        << Base(Event::Refused, Stage::Hello,
                "504 5.5.2 <bob>: Helo command rejected: need fully-qualified hostname")
        << Cause::None << none << false;

    // AUTH before any credential: no mechanism in common, or TLS wanted first.
    QTest::newRow("Sendmail refuses AUTH on 587")
        << OnPort(Base(Event::Refused, Stage::AuthCommand, "503 5.3.3 AUTH not available"), 587)
        << Cause::NoCommonMechanism << "mx.test:465 (TLS)" << false;
    QTest::newRow("504 mechanism unknown")
        << Base(Event::Refused, Stage::AuthCommand, "504 5.5.4 Unrecognized authentication type")
        << Cause::NoCommonMechanism << none << false;
    QTest::newRow("aiosmtpd wants encryption")
        << Base(Event::Refused, Stage::AuthCommand,
                "538 5.7.11 Encryption required for requested authentication mechanism")
        << Cause::TlsBeforeLogin << none << false;
    QTest::newRow("Postfix on 587 before STARTTLS")
        << Base(Event::Refused, Stage::AuthCommand, "530 5.7.0 Must issue a STARTTLS command first")
        << Cause::TlsBeforeLogin << none << false;

    // The credentials.
    QTest::newRow("temporary failure of the login")
        << Base(Event::Refused, Stage::Credentials, "454 4.7.0 Temporary authentication failure")
        << Cause::None << none << false;

    // The sender.
    QTest::newRow("MAIL without login, login required")
        << Base(Event::Refused, Stage::MailFrom, "530 5.7.0 Authentication required")
        << Cause::LoginFirst << none << false;
    QTest::newRow("MAIL without login, 5.7.1")
        << Base(Event::Refused, Stage::MailFrom, "550 5.7.1 Relaying denied") << Cause::LoginFirst
        << none << false;
    QTest::newRow("Postfix, sender not owned by the login")
        << LoggedIn(Base(Event::Refused, Stage::MailFrom,
                         "553 5.7.1 <alice@example.org>: Sender address rejected: not owned by "
                         "user alice@example.org"))
        << Cause::SenderRefusedForLogin << none << false;
    QTest::newRow("null sender refused")
        << Base(Event::Refused, Stage::MailFrom,
                "553 5.1.8 <>: Sender address rejected: Domain not found")
        << Cause::NullSenderRefused << none << false;
    QTest::newRow("MAIL, temporary")
        << Base(Event::Refused, Stage::MailFrom, "451 4.3.0 Temporary lookup failure")
        << Cause::None << none << false;

    // The recipient: relay or unknown. Relaying is also among the whole runs
    // below, which skip where no DNS server of their own can run.
    QTest::newRow("Postfix, relay access denied")
        << Base(Event::Refused, Stage::RcptTo,
                "454 4.7.1 <bob@remote.example>: Relay access denied")
        << Cause::RelayWithoutLogin << "remote.example" << true;
    QTest::newRow("Exim, relay not permitted after a login")
        << LoggedIn(Base(Event::Refused, Stage::RcptTo, "550 relay not permitted"))
        << Cause::RelayDespiteLogin << "remote.example" << true;
    QTest::newRow("OpenSMTPD, another domain: relay or unknown")
        << Base(Event::Refused, Stage::RcptTo, "550 Invalid recipient: <bob@remote.example>")
        << Cause::RelayOrUnknownRecipient << "remote.example" << true;
    QTest::newRow("OpenSMTPD, the server's domain: unknown")
        << ToServersDomain(
               Base(Event::Refused, Stage::RcptTo, "550 Invalid recipient: <nosuchuser@localhost>"))
        << Cause::UnknownRecipientProbably << "nosuchuser@localhost" << false;
    QTest::newRow("5.7.1 for another domain without login")
        << Base(Event::Refused, Stage::RcptTo,
                "550 5.7.1 Recipient address rejected: Access denied")
        << Cause::RelayProbably << "remote.example" << true;
    QTest::newRow("5.7.1 for the server's domain: nothing known")
        << ToServersDomain(Base(Event::Refused, Stage::RcptTo,
                                "550 5.7.1 Recipient address rejected: Access denied"))
        << Cause::None << none << false;
    const char *unknownUser[][2] = {
        {"Postfix", "550 5.1.1 <nosuchuser@localhost>: Recipient address rejected: User unknown in "
                    "local recipient table"},
        {"aiosmtpd", "550 5.1.1 <nosuchuser@localhost>: Recipient address rejected: User unknown"},
        {"Sendmail", "550 5.1.1 <nosuchuser@localhost>... User unknown"},
        {"Exim", "550 Unrouteable address"}};
    for (const auto &[server, reply] : unknownUser)
        QTest::addRow("%s, unknown user", server)
            << ToServersDomain(Base(Event::Refused, Stage::RcptTo, reply))
            << Cause::UnknownRecipient << "nosuchuser@localhost" << false;
    QTest::newRow("RCPT without login, login required")
        << Base(Event::Refused, Stage::RcptTo, "530 5.7.0 Authentication required")
        << Cause::LoginFirst << none << false;
    QTest::newRow("greylisting")
        << Base(Event::Refused, Stage::RcptTo,
                "450 4.2.0 <bob@remote.example>: Recipient address rejected: Greylisted")
        << Cause::Greylisted << none << false;
    QTest::newRow("no such domain")
        << Base(Event::Refused, Stage::RcptTo, "550 5.1.2 <bob@remote.example>... Host unknown")
        << Cause::UnknownDomain << "remote.example" << false;
    QTest::newRow("mailbox full at RCPT")
        << Base(Event::Refused, Stage::RcptTo, "552 5.2.2 Mailbox full") << Cause::MailboxFull
        << none << false;
    QTest::newRow("DATA refused: nothing known")
        << Base(Event::Refused, Stage::Data, "554 5.5.1 Error: no valid recipients") << Cause::None
        << none << false;

    // The end of the data.
    QTest::newRow("spam") << Base(Event::Refused, Stage::Message,
                                  "550 5.7.1 Message rejected as spam by Content Filtering.")
                          << Cause::MessageByFilter << none << false;
    QTest::newRow("too large") << Base(Event::Refused, Stage::Message,
                                       "552 5.3.4 Message size exceeds fixed limit")
                               << Cause::MessageTooLarge << none << false;
    QTest::newRow("Exim, header syntax: nothing known")
        << Base(Event::Refused, Stage::Message, "550 header syntax") << Cause::None << none
        << false;

    // TLS.
    Hints::Evidence implicit = OnPort(Base(Event::HandshakeFailed, Stage::Greeting), 465);
    implicit.implicitTls = true;
    QTest::newRow("handshake on 465 fails")
        << implicit << Cause::NoTlsFromTheStart << none << false;
    Hints::Evidence closed = Base(Event::HandshakeFailed, Stage::StartTls);
    closed.errorText = QStringLiteral("The remote host closed the connection");
    QTest::newRow("handshake after STARTTLS: a close, nothing known")
        << closed << Cause::None << none << false;
    Hints::Evidence otherName = Base(Event::CertificateOtherName, Stage::StartTls);
    otherName.certificateName = QStringLiteral("mail.example.org");
    QTest::newRow("certificate without a name")
        << Base(Event::CertificateOtherName, Stage::StartTls) << Cause::None << none << false;
    QTest::newRow("unknown issuer") << Base(Event::CertificateUnknownIssuer, Stage::StartTls)
                                    << Cause::CertificateChain << none << false;
    QTest::newRow("password unencrypted on 587")
        << OnPort(Base(Event::PasswordUnencrypted, Stage::Credentials), 587)
        << Cause::PasswordOverSubmission << "mx.test:465 (TLS)" << false;

    // Slow replies.
    QTest::newRow("slow RCPT: nothing known")
        << Base(Event::SlowReply, Stage::RcptTo) << Cause::None << none << false;

    // Filtering receivers and large providers, whatever was sent last, in
    // their own words (OpenDMARC's source, Google's and Microsoft's pages).
    const Cause unauthenticated = Cause::Unauthenticated;
    const Cause addressRefused = Cause::AddressRefused;
    const Cause rateLimit = Cause::RateLimited;
    const struct
    {
        const char *name;
        Stage stage;
        const char *reply;
        Cause cause;
    } byReceiver[] = {
        {"OpenDMARC", Stage::Message, "550 5.7.1 rejected by DMARC policy for example.com",
         unauthenticated},
        {"Gmail 5.7.26", Stage::Message,
         "550-5.7.26 Unauthenticated email from example.com is not accepted due to\r\n"
         "550-5.7.26 domain's DMARC policy. Please contact the administrator of\r\n"
         "550 5.7.26 example.com domain if this was a legitimate mail. - gsmtp",
         unauthenticated},
        {"Gmail 5.7.1, DMARC on a later line", Stage::Message,
         "550-5.7.1 Unauthenticated email from example.com is not accepted due\r\n"
         "550-5.7.1 to domain's DMARC policy. Please contact the administrator of\r\n"
         "550 5.7.1 example.com domain if this was a legitimate mail. - gsmtp",
         unauthenticated},
        {"Gmail 5.7.27", Stage::Message, "550 5.7.27 - gsmtp", unauthenticated},
        {"Microsoft 365 5.7.509", Stage::Message,
         "550 5.7.509 Access denied, sending domain example.com does not pass DMARC "
         "verification and has a DMARC policy of reject.",
         unauthenticated},
        {"Postfix, a block list at RCPT", Stage::RcptTo,
         "554 5.7.1 Service unavailable; Client host [192.0.2.5] blocked using "
         "zen.spamhaus.org; https://www.spamhaus.org/query/ip/192.0.2.5",
         addressRefused},
        {"Postfix, a block list in the greeting", Stage::Greeting,
         "554 5.7.1 Service unavailable; Client host [192.0.2.5] blocked using zen.spamhaus.org",
         addressRefused},
        {"Postfix, no name for the address", Stage::RcptTo,
         "450 4.7.25 Client host rejected: cannot find your hostname, [192.0.2.5]", addressRefused},
        {"Postfix, no reverse name", Stage::MailFrom,
         "450 4.7.25 Client host rejected: cannot find your reverse hostname, [192.0.2.5]",
         addressRefused},
        {"Microsoft 365 5.7.606", Stage::RcptTo,
         "550 5.7.606 Access denied, banned sending IP [192.0.2.5]. To request removal from "
         "this list please visit https://sender.office.com/ and follow the directions.",
         addressRefused},
        {"Microsoft 365 5.7.649", Stage::MailFrom,
         "550 5.7.649 Access denied, banned sending IP [192.0.2.5].", addressRefused},
        {"Microsoft 365 5.7.708", Stage::MailFrom,
         "550 5.7.708 Access denied, traffic not accepted from this IP.", addressRefused},
        {"Outlook.com, the network on its block list", Stage::MailFrom,
         "550 5.7.1 Unfortunately, messages from [192.0.2.5] weren't sent. Please contact your "
         "Internet service provider since part of their network is on our block list (S3150).",
         addressRefused},
        {"Microsoft 365 5.7.650 is no ban of the address", Stage::MailFrom, "550 5.7.650 x",
         Cause::None},
        {"Gmail 4.7.28", Stage::Message,
         "421-4.7.28 [192.0.2.5] Our system has detected an unusual rate of\r\n"
         "421-4.7.28 unsolicited mail originating from your IP address. To protect our\r\n"
         "421 4.7.28 users from spam, mail sent from your IP address has been temporarily "
         "rate limited. - gsmtp",
         rateLimit},
        {"Gmail 4.7.0, \"unusual rate\" over two lines", Stage::RcptTo,
         "421-4.7.0 [192.0.2.5      15] Our system has detected an unusual\r\n"
         "421-4.7.0 rate of unsolicited mail originating from your IP address. - gsmtp",
         rateLimit},
        {"Microsoft 365 4.7.500", Stage::RcptTo,
         "451 4.7.500 Server busy. Please try again later from [192.0.2.5]. (AS761)", rateLimit},
        // The credentials: password logins switched off, an app password wanted.
        {"Microsoft 365, basic authentication disabled", Stage::Credentials,
         "535 5.7.139 Authentication unsuccessful, basic authentication is disabled.",
         Cause::PasswordLoginsOff},
        {"Microsoft 365, SMTP AUTH disabled for the mailbox", Stage::Credentials,
         "535 5.7.139 Authentication unsuccessful, SmtpClientAuthentication is disabled for the "
         "Mailbox. Visit https://aka.ms/smtp_auth_disabled for more information.",
         Cause::PasswordLoginsOff},
        {"Gmail 5.7.9", Stage::Credentials,
         "534-5.7.9 Application-specific password required. For more information, go to\r\n"
         "534 5.7.9  https://support.google.com/mail/?p=InvalidSecondFactor - gsmtp",
         Cause::AppPasswordRequired},
    };
    for (const auto &[name, stage, reply, cause] : byReceiver)
        QTest::newRow(name) << Base(Event::Refused, stage, reply) << cause << none << false;
}

void tst_Hints::choice()
{
    QFETCH(Hints::Evidence, evidence);
    QFETCH(Cause, cause);
    QFETCH(QString, detail);
    QFETCH(bool, mx);

    const Hints::Hint chosen = Hints::Choose(evidence);
    QCOMPARE(chosen.cause, cause);
    QCOMPARE(chosen.text.isEmpty(), cause == Cause::None);
    QVERIFY2(chosen.text.contains(detail), qPrintable(chosen.text));
    QCOMPARE(chosen.lookUpRecipientMx, mx);
}

Q_DECLARE_METATYPE(QList<Hints::MailHost>)

void tst_Hints::mailHosts_data()
{
    QTest::addColumn<QList<Hints::MailHost>>("hosts");
    QTest::addColumn<bool>("serverTyped"); // the domain is the name typed as the server
    QTest::addColumn<QString>("serverHost");
    QTest::addColumn<Cause>("cause");
    QTest::addColumn<QString>("shown"); // the hosts as the hint lists them

    const QList<Hints::MailHost> two{{QStringLiteral("mx2.example.org."), 20},
                                     {QStringLiteral("mx1.example.org"), 10}};
    QTest::newRow("by preference, without the root's dot")
        << two << false << QStringLiteral("mx.test") << Cause::MailHosts
        << "mx1.example.org (10), mx2.example.org (20)";
    QTest::newRow("the server name typed is a mail domain")
        << two << true << QStringLiteral("example.org") << Cause::ServerNameIsMailDomain
        << "mx1.example.org (10), mx2.example.org (20)";
    QTest::newRow("the server typed is one of them")
        << two << false << QStringLiteral("MX2.example.org") << Cause::None << "";
    QTest::newRow("no records") << QList<Hints::MailHost>{} << false << QStringLiteral("mx.test")
                                << Cause::None << "";
    QTest::newRow("null MX") << QList<Hints::MailHost>{{QStringLiteral("."), 0}} << false
                             << QStringLiteral("mx.test") << Cause::NoMailAccepted << "";
    QList<Hints::MailHost> seven;
    for (int i = 7; i >= 1; --i)
        seven << Hints::MailHost{QStringLiteral("mx%1.example.org").arg(i), i};
    QTest::newRow("the first five of seven")
        << seven << false << QStringLiteral("mx.test") << Cause::MailHosts
        << "mx1.example.org (1), mx2.example.org (2), mx3.example.org (3), mx4.example.org (4), "
           "mx5.example.org (5)";
}

void tst_Hints::mailHosts()
{
    QFETCH(QList<Hints::MailHost>, hosts);
    QFETCH(bool, serverTyped);
    QFETCH(QString, serverHost);
    QFETCH(Cause, cause);
    QFETCH(QString, shown);
    const Hints::Hint hint =
        Hints::ForMailHosts(QStringLiteral("example.org"), hosts, serverTyped, serverHost);
    QCOMPARE(hint.cause, cause);
    QCOMPARE(hint.text.isEmpty(), cause == Cause::None);
    QVERIFY2(hint.text.contains(shown), qPrintable(hint.text));
    const QString host = QStringLiteral(".example.org (");
    QCOMPARE(hint.text.count(host), shown.count(host));
}

void tst_Hints::enhancedCode_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("code");
    const char *rows[][3] = {
        {"single line", "550 5.1.1 <x@y>: User unknown", "5.1.1"},
        {"multi-line", "550-5.7.1 Messages missing a valid Message-ID\r\n550 5.7.1 x", "5.7.1"},
        {"three-digit detail", "550 5.7.123 policy", "5.7.123"},
        {"none", "550 Unrouteable address", ""},
        {"two parts only", "550 5.1 x", ""},
        {"class 6 does not exist", "550 6.1.1 x", ""},
        {"four parts", "550 5.1.1.1 x", ""},
        {"a version number in the text", "220 mx.test ESMTP Exim 4.96", ""}};
    for (const auto &[name, reply, code] : rows)
        QTest::newRow(name) << QString::fromUtf8(reply) << QString::fromUtf8(code);
}

void tst_Hints::enhancedCode()
{
    QFETCH(QString, reply);
    QFETCH(QString, code);
    QCOMPARE(Hints::EnhancedCode(reply), code);
}

namespace {
enum class Resolver { Answers, NeverAnswers };
// Long enough for a loopback DNS server under load; short enough that the
// resolver's own give-up after a silent server (ten seconds) stands out.
constexpr int MxDeadlineMs = 1500;

Script RefusingRecipient(const QByteArray &greeting, const QByteArray &refusal)
{
    using S = ScriptedServer;
    return {S::Say(greeting), S::Say("250 mx.test\r\n"), S::Say("250 2.1.0 Ok\r\n"),
            S::Say(refusal)};
}
} // namespace

Q_DECLARE_METATYPE(Resolver)

// Where the recipient's mail goes, from a real DNS server on the loopback:
// the log ends with the note, its hint, and the domain's mail hosts.
void tst_Hints::mailHostsOfARun_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<QString>("server"); // empty: the scripted server
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<Resolver>("resolver");
    QTest::addColumn<QStringList>("end");

    const auto refused = [](const char *code) {
        return Expect::Note(Notes::Id::RefusedCommand, {QStringLiteral("RCPT TO"), code});
    };
    const QString relayHint = Expect::Hint(Cause::RelayWithoutLogin);
    const QString mailHosts = Expect::Hint(Cause::MailHosts);

    QTest::newRow("Postfix refuses to relay")
        << RefusingRecipient("220 mx.test ESMTP Postfix (Debian/GNU)\r\n",
                             "454 4.7.1 <bob@example.org>: Relay access denied\r\n")
        << QString() << "bob@example.org" << Resolver::Answers
        << QStringList{"W:QUIT", refused("454"), relayHint, mailHosts};
    QTest::newRow("Exim refuses to relay, the resolver never answers")
        << RefusingRecipient("220 mx.test ESMTP Exim 4.96\r\n", "550 relay not permitted\r\n")
        << QString() << "bob@example.org" << Resolver::NeverAnswers
        << QStringList{"W:QUIT", refused("550"), relayHint};
    QTest::newRow("aiosmtpd refuses to relay to a domain without MX records")
        << RefusingRecipient("220 mx.test aiosmtpd\r\n",
                             "554 5.7.1 <bob@nomx.example>: Relay access denied\r\n")
        << QString() << "bob@nomx.example" << Resolver::Answers
        << QStringList{refused("554"), relayHint};
    QTest::newRow("nothing listens on port 25")
        << Script{} << "127.0.0.1"
        << "bob@example.org" << Resolver::Answers
        << QStringList{
               Expect::Note(Notes::Id::Refused, {"127.0.0.1", "{port}", "Connection refused"}),
               Expect::Hint(Cause::AnotherPort), mailHosts};
    QTest::newRow("the server typed is a mail domain without an address")
        << Script{} << "example.org"
        << "bob@example.org" << Resolver::Answers
        << QStringList{Expect::Note(Notes::Id::HostNotFound, {"example.org", "Host not found"}),
                       Expect::Hint(Cause::ServerNameIsMailDomain)};
}

void tst_Hints::mailHostsOfARun()
{
    QFETCH(Script, script);
    QFETCH(QString, server);
    QFETCH(QString, recipient);
    QFETCH(Resolver, resolver);
    QFETCH(QStringList, end);

    DnsServer dns({{QStringLiteral("example.org"), QStringLiteral("mx2.example.org"), 20},
                   {QStringLiteral("example.org"), QStringLiteral("mx1.example.org"), 10}},
                  {QStringLiteral("example"), QStringLiteral("example.org")});
    if (!dns.error().isEmpty())
        QSKIP(qPrintable(dns.error()));
    if (resolver == Resolver::NeverAnswers)
        dns.stopAnswering();

    ScriptedServer scripted(script);
    EngineRun run;
    const MxResolver mx(DnsServer::address(), MxDeadlineMs);
    run.fill(QStringLiteral("Hello"), recipient, {}, {},
             server.isEmpty() ? scripted.address() : server);
    QElapsedTimer clock;
    clock.start();
    run.clickTest();
    QVERIFY(run.waitForRunEnd(30000));
    const qint64 took = clock.elapsed();

    QCOMPARE(run.boxTexts(), Expect::Failed);
    const QStringList log = run.logLines();
    QVERIFY2(log.size() >= end.size(), qPrintable(log.join(u'\n')));
    QCOMPARE(log.mid(log.size() - end.size()), end);
    // A resolver that never answers holds the verdict back until the
    // deadline (a coarse timer may end it 5 % early), and not longer.
    if (resolver == Resolver::NeverAnswers) {
        QVERIFY2(took >= MxDeadlineMs * 95 / 100, qPrintable(QString::number(took)));
        QVERIFY2(took < MxDeadlineMs + 4000, qPrintable(QString::number(took)));
    }
    QVERIFY(run.windowUnlocked());
}

namespace {
// The text of every hint, once: for mx.test port 25 and bob@remote.example,
// the hints of MX records for example.org and its two mail hosts.
const struct
{
    Cause cause;
    const char *text;
} HintTexts[] = {
    {Cause::AnotherPort,
     "the server probably takes mail from its users on another port: type mx.test:587 (STARTTLS) "
     "or mx.test:465 (TLS), with your user name and password."},
    {Cause::PortBlocked,
     "many networks block outgoing connections to port 25, probably this one too: type mx.test:587 "
     "(STARTTLS) or mx.test:465 (TLS), with your user name and password."},
    {Cause::SchemeOrPath, "the server field takes the server's name or address alone, a port after "
                          "a colon if need be: type mx.test."},
    {Cause::RefusedByPolicy, "the server probably refuses this computer's address, by its policy "
                             "(a home or dynamic address) or because the address is on a block "
                             "list: test from another network, or ask the server's administrator."},
    {Cause::RelayWithoutLogin,
     "the server does not pass mail on to remote.example for a client that has not logged in: type "
     "your user name and password, or send to an address at a domain the server takes mail for."},
    {Cause::RelayProbably, "the server probably does not pass mail on to remote.example for a "
                           "client that has not logged in: type your user name and password, or "
                           "send to an address at a domain the server takes mail for."},
    {Cause::RelayDespiteLogin,
     "the server does not pass mail on to remote.example even for this login: it probably takes "
     "mail only for its own domains. Send through your provider's submission server (port 587 or "
     "465) instead."},
    {Cause::RelayOrUnknownRecipient,
     "either the server does not pass mail on to remote.example without a login, or it does not "
     "know the recipient: type your user name and password, or check the address."},
    {Cause::UnknownRecipient, "the server does not know the recipient bob@remote.example: check "
                              "the address, the part before the @ above all."},
    {Cause::UnknownRecipientProbably,
     "the server probably does not know the recipient bob@remote.example: check the address."},
    {Cause::UnknownDomain,
     "the server cannot deliver to the domain remote.example: check the part after the @."},
    {Cause::MailboxFull, "the recipient's mailbox is full: test with another recipient, or ask the "
                         "recipient to make room."},
    {Cause::Greylisted, "the server delays mail from senders it has not seen before (greylisting): "
                        "test again in a few minutes."},
    {Cause::LoginRefused,
     "the user name is often the whole mail address, not only the part before the @; some "
     "providers want an app password made for mail programs instead of the usual one."},
    {Cause::NoAuthOffered,
     "the server offers no login on port 25 (its EHLO reply has no AUTH): type mx.test:587 "
     "(STARTTLS) or mx.test:465 (TLS) to log in there, or leave user name and password empty to "
     "send to an address the server takes mail for."},
    {Cause::NoLoginOnThisPort,
     "the server probably takes no login on port 25: a provider's server takes logins on its "
     "submission ports; type mx.test:587 (STARTTLS) or mx.test:465 (TLS)."},
    {Cause::NoCommonMechanism,
     "the server probably offers no login mechanism that Vormant can use here: type mx.test:587 "
     "(STARTTLS) or mx.test:465 (TLS), or ask the server's administrator."},
    {Cause::TlsBeforeLogin, "the server wants TLS before the login but offers no STARTTLS here: "
                            "type mx.test:465 for TLS from the start."},
    {Cause::LoginFirst, "the server probably takes mail only from users who log in: type your user "
                        "name and password."},
    {Cause::SenderRefusedForLogin,
     "the server probably does not let this login send as the sender Vormant gave (the user name): "
     "type as the user name the address the account sends from."},
    {Cause::NullSenderRefused,
     "the server probably refuses the empty sender <> that Vormant gives without a login: type "
     "your whole mail address as the user name, and your password, so that it becomes the sender."},
    {Cause::MessageByFilter, "the server read the message and refused it, probably by a content "
                             "filter (spam) or by policy: ask the server's administrator what its "
                             "log says, or test with another message text."},
    {Cause::MessageTooLarge, "the message is probably larger than the server takes (the SIZE line "
                             "of its EHLO reply gives the limit): test with a shorter message."},
    {Cause::CertificateName, "type the name the certificate is issued for, mail.example.org, as "
                             "the server: then the certificate can be checked against the name."},
    {Cause::CertificateChain,
     "the server probably does not send the intermediate certificates of its chain, or a private "
     "authority issued it: ask the server's administrator to send the whole chain."},
    {Cause::NoTlsFromTheStart, "the server probably does not speak TLS from the start on port 25: "
                               "type mx.test:587, where Vormant starts TLS with STARTTLS."},
    {Cause::TlsTooOld,
     "probably the server offers only TLS versions or ciphers that this computer no longer accepts "
     "(TLS 1.0 or 1.1): ask the server's administrator to enable TLS 1.2 or later."},
    {Cause::PasswordOverSubmission,
     "type mx.test:587 (STARTTLS) or mx.test:465 (TLS) if the server offers it: there the password "
     "goes encrypted. Change the password if others can read this network."},
    {Cause::SlowGreeting,
     "a greeting this slow is probably the server looking up this computer's name (reverse DNS), "
     "or a deliberate pause against spam; mail programs with short time-outs give up on it."},
    {Cause::SlowFilter, "a reply this slow to the end of the data is probably the server's content "
                        "filter (spam and virus checks) at work."},
    {Cause::MailHosts, "mail for example.org is received by mx1.example.org (10), mx2.example.org "
                       "(20): to test delivery, type one of them as the server."},
    {Cause::ServerNameIsMailDomain,
     "example.org is a mail domain without an address of its own: its mail is received by "
     "mx1.example.org (10), mx2.example.org (20); type one of them as the server."},
    {Cause::NoMailAccepted,
     "example.org accepts no mail at all: its MX record says so (a null MX)."},
    {Cause::Unauthenticated,
     "the receiver refuses mail that the sender's domain does not vouch for (DMARC, SPF, DKIM): "
     "test through the sender's own submission server, type it with port 587 or 465 and log in "
     "with your mail address."},
    {Cause::PasswordLoginsOff,
     "the server takes no password for this mailbox (basic authentication is switched off): paste "
     "an OAuth 2.0 access token for the mailbox in Pass, or ask its administrator to turn on "
     "authenticated SMTP (SMTP AUTH) for it."},
    {Cause::AppPasswordRequired,
     "the account has 2-Step Verification and takes no ordinary password here: make an app "
     "password in the account's security settings and paste it in Pass, or paste an OAuth 2.0 "
     "access token."},
    {Cause::TokenRefused,
     "an access token lasts about an hour and must be issued for the mailbox of the user name with "
     "the scope for mail (the scope the server names): get a new token and paste it in Pass."},
    {Cause::AddressRefused,
     "the server refuses this computer's address, not the message (a block list, or an address "
     "without a name in DNS): test from a network it accepts, or log in on mx.test:587."},
    {Cause::RateLimited, "the server takes no more mail from this computer's address for now (a "
                         "rate limit, often for a whole network): wait, and test again later."},
};
} // namespace

void tst_Hints::hintTexts_data()
{
    QTest::addColumn<Cause>("cause");
    QTest::addColumn<QString>("text");
    // A cause without a row here fails as a row of its own.
    const QMetaEnum causes = QMetaEnum::fromType<Cause>();
    for (int i = 0; i < causes.keyCount(); ++i) {
        const auto cause = Cause(causes.value(i));
        const auto row = std::find_if(std::begin(HintTexts), std::end(HintTexts),
                                      [cause](const auto &entry) { return entry.cause == cause; });
        if (cause != Cause::None)
            QTest::newRow(causes.key(i))
                << cause
                << (row == std::end(HintTexts) ? QStringLiteral("(no row)")
                                               : QString::fromUtf8(row->text));
    }
}

void tst_Hints::hintTexts()
{
    QFETCH(Cause, cause);
    QFETCH(QString, text);
    Hints::Evidence evidence = Base(Event::Refused, Stage::Connect);
    evidence.serverField = QStringLiteral("smtp://mx.test/");
    evidence.certificateName = QStringLiteral("mail.example.org");
    const QList<Hints::MailHost> hosts{{QStringLiteral("mx2.example.org"), 20},
                                       {QStringLiteral("mx1.example.org"), 10}};
    const QString domain = QStringLiteral("example.org");
    Hints::Hint hint;
    if (cause == Cause::MailHosts || cause == Cause::ServerNameIsMailDomain)
        hint = Hints::ForMailHosts(domain, hosts, cause == Cause::ServerNameIsMailDomain, {});
    else if (cause == Cause::NoMailAccepted)
        hint = Hints::ForMailHosts(domain, {{QStringLiteral("."), 0}}, false, {});
    else
        hint = Hints::Worded(cause, evidence);
    QCOMPARE(hint.cause, cause);
    QCOMPARE(hint.text, text);
}

namespace {
using Write = std::function<void()>;

// A fresh slot after the command notes name so ("" for none: the greeting
// awaited), and then the note.
Write After(const char *command, const Write &note)
{
    return [command, note] {
        namespace Engine = modQuendel_EmailClient;
        Engine::StartSlot(1);
        for (int c = int(Engine::Command::Helo); c <= int(Engine::Command::Quit); ++c) {
            if (Engine::RowOf(Engine::Command(c)).label == QLatin1StringView(command))
                Engine::Run.Slot.LastCommand = Engine::Command(c);
        }
        QCOMPARE_NE(Engine::Run.Slot.LastCommand.has_value(), *command == 0);
        note();
    };
}

// The socket's error for mx.test port 25, before the greeting or after a command.
Write Failing(QAbstractSocket::SocketError error, const char *description, const char *after = "")
{
    return After(after, [error, description] {
        Notes::SocketError(error, QString::fromLatin1(description), QStringLiteral("mx.test"), 25);
    });
}

TlsReport Report(TlsReport::Trust trust)
{
    TlsReport report;
    report.protocol = QStringLiteral("TLS 1.3");
    report.cipher = QStringLiteral("TLS_AES_256_GCM_SHA384");
    report.subject = QStringLiteral("mail.example.org");
    report.issuer = QStringLiteral("Example CA");
    report.expires = QDateTime(QDate(2030, 1, 31), QTime(12, 0), Qt::UTC);
    report.trust = trust;
    return report;
}
} // namespace

Q_DECLARE_METATYPE(Write)

// The text of every note, once, with what it fills in; the hint line too.
void tst_Hints::noteTexts_data()
{
    QTest::addColumn<Write>("write");
    QTest::addColumn<quint32>("mark");
    QTest::addColumn<QString>("text");

    using Socket = QAbstractSocket;
    const QString host = QStringLiteral("mx.test");
    const struct
    {
        Id id;
        Write write;
        const char *text;
    } notes[] = {
        {Id::Connected,
         [] { Notes::Connected(QStringLiteral("192.0.2.1"), 25, QStringLiteral("mx.test")); },
         "Connected to 192.0.2.1 port 25 (mx.test)."},
        {Id::ConnectedToAddress,
         [] { Notes::Connected(QStringLiteral("192.0.2.1"), 25, QStringLiteral("192.0.2.1")); },
         "Connected to 192.0.2.1 port 25."},
        {Id::Refused, Failing(Socket::ConnectionRefusedError, "Connection refused"),
         "Connection refused by mx.test port 25: no mail server listens there (Connection "
         "refused)."},
        {Id::HostNotFound, Failing(Socket::HostNotFoundError, "Host not found"),
         "The host \"mx.test\" was not found: check the server name (Host not found)."},
        {Id::NetworkUnreachable, Failing(Socket::NetworkError, "Network unreachable"),
         "mx.test port 25 cannot be reached from this computer (Network unreachable)."},
        {Id::ConnectionReset, Failing(Socket::RemoteHostClosedError, "reset"),
         "The connection to mx.test port 25 was reset (reset)."},
        {Id::ConnectTimedOut, Failing(Socket::SocketTimeoutError, "timed out"),
         "No connection to mx.test port 25 in time (timed out)."},
        {Id::ConnectionFailed, Failing(Socket::NetworkError, "Connection timed out", "RCPT TO"),
         "The connection to mx.test port 25 failed (Connection timed out)."},
        {Id::CouldNotStart, After("", [] { Notes::ConnectFailed(QStringLiteral("Invalid port")); }),
         "The connection could not be started (Invalid port)."},
        {Id::ClosedBeforeGreeting, After("", [] { Notes::ServerClosed(); }),
         "The server closed the connection before its greeting."},
        {Id::ClosedAfter, After("MAIL FROM", [] { Notes::ServerClosed(); }),
         "The server closed the connection after MAIL FROM."},
        {Id::NoGreeting, After("", [] { Notes::NoReply(60000); }),
         "No greeting from the server within 1 minute."},
        {Id::NoReply, After("the message", [] { Notes::NoReply(600000); }),
         "No reply to the message within 10 minutes."},
        {Id::GreetingTooLong, After("", [] { Notes::ReplyTooLong(); }),
         "The greeting is longer than 64 KiB: Vormant stopped reading it."},
        {Id::ReplyTooLong, After("HELO", [] { Notes::ReplyTooLong(); }),
         "The reply to HELO is longer than 64 KiB: Vormant stopped reading it."},
        {Id::MoreThanOneGreeting, After("", [] { Notes::MoreThanOneReply(); }),
         "The server sent more than its greeting."},
        {Id::MoreThanOneReply, After("DATA", [] { Notes::MoreThanOneReply(); }),
         "The server sent more than one reply to DATA."},
        {Id::GreetingNotSmtp, After("", [] { Notes::NotAnSmtpReply(); }),
         "The server's greeting is not an SMTP reply: is this a mail server?"},
        {Id::ReplyNotSmtp, After("HELO", [] { Notes::NotAnSmtpReply(); }),
         "The answer to HELO is not an SMTP reply."},
        {Id::RefusedGreeting, After("", [] { Notes::Refused(QStringLiteral("554")); }),
         "The server refused the session in its greeting (554)."},
        {Id::RefusedLogin, After("the password", [] { Notes::Refused(QStringLiteral("535")); }),
         "The server did not accept the user name or password (535)."},
        {Id::RefusedCommand, After("RCPT TO", [] { Notes::Refused(QStringLiteral("550")); }),
         "The server refused RCPT TO (550)."},
        {Id::RefusedToken, After("AUTH XOAUTH2", [] { Notes::Refused(QStringLiteral("535")); }),
         "The server did not accept the access token (535)."},
        // The error as RFC 7628 3.2.2 shows it.
        {Id::RefusedTokenSaying,
         After("AUTH OAUTHBEARER",
               [] {
                   RunEvidence::ReplyLogged(QString::fromLatin1(
                       "334 " +
                       QByteArray(R"({"status":"invalid_token","scope":"example_scope",)"
                                  R"("openid-configuration":"https://example.com/.well-known/)"
                                  R"(openid-configuration"})")
                           .toBase64()));
                   Notes::Refused(QStringLiteral("535"));
               }),
         "The server did not accept the access token (535): its error says status "
         "\"invalid_token\", scope \"example_scope\"."},
        {Id::FailedWaiting, After("MAIL FROM", [] { Notes::FailedWaiting(); }),
         "The test failed waiting for the reply to MAIL FROM."},
        {Id::EncryptedTrusted,
         [] {
             Notes::Encrypted(Report(TlsReport::Trust::Trusted),
                              QStringLiteral("mail.example.org"));
         },
         "Encrypted with TLS 1.3 (TLS_AES_256_GCM_SHA384). Certificate for mail.example.org, "
         "issued by Example CA, valid until 2030-01-31: trusted for mail.example.org."},
        {Id::EncryptedUntrusted,
         [] {
             Notes::Encrypted(Report(TlsReport::Trust::NotYetValid),
                              QStringLiteral("mail.example.org"));
         },
         "Encrypted with TLS 1.3 (TLS_AES_256_GCM_SHA384). Certificate for mail.example.org, "
         "issued by Example CA, valid until 2030-01-31. Certificate NOT trusted: not valid yet."},
        {Id::HandshakeFailed,
         [host] {
             TlsFailure failure;
             failure.cause = TlsFailure::Cause::AlertSent;
             failure.alert = 40;
             failure.alertName = QStringLiteral("handshake failure");
             failure.fatal = false;
             Notes::HandshakeFailed(host, 465, failure);
         },
         "The TLS handshake with mx.test port 465 failed (Vormant ended it with the warning TLS "
         "alert 40, handshake failure: no cipher or other setting both sides support)."},
        {Id::HandshakeTimedOut, [] { Notes::HandshakeTimedOut(1500); },
         "The TLS handshake did not finish within 1500 ms."},
        {Id::PlainTextAfterStartTls, [] { Notes::PlainTextAfterStartTls(); },
         "The server sent more before the TLS handshake than its 220 to STARTTLS: Vormant trusts "
         "nothing sent unencrypted and stopped."},
        {Id::PasswordUnencrypted, After("the password", [] { Notes::PasswordUnencrypted(); }),
         "The server offers no STARTTLS: the user name and password went unencrypted."},
        {Id::NoUsableLogin,
         [] {
             Notes::NoUsableLogin({QStringLiteral("CRAM-MD5"), QStringLiteral("SCRAM-SHA-256")});
         },
         "The server offers no login Vormant can use (AUTH CRAM-MD5 SCRAM-SHA-256): Vormant logs "
         "in with LOGIN or PLAIN."},
        {Id::SmtpUtf8NotOffered, [] { Notes::SmtpUtf8NotOffered(); },
         "The recipient's address has characters beyond ASCII before its \"@\": that needs "
         "SMTPUTF8, which this server does not offer. Nothing was sent to the recipient."},
        {Id::DialogueTook, [] { Notes::DialogueTook(187); },
         "The dialogue took 187 ms, from connecting to the reply to QUIT."},
        {Id::GreetingTook, After("", [] { Notes::ReplyTook(12345); }),
         "The greeting took 12.3 seconds."},
        {Id::ReplyTook, After("the message", [] { Notes::ReplyTook(2000); }),
         "The reply to the message took 2.0 seconds."},
    };
    // A note without a row here fails as a row of its own.
    const QMetaEnum ids = QMetaEnum::fromType<Id>();
    for (int i = 0; i < ids.keyCount(); ++i) {
        const auto note =
            std::find_if(std::begin(notes), std::end(notes),
                         [i, &ids](const auto &entry) { return int(entry.id) == ids.value(i); });
        if (note == std::end(notes))
            QTest::newRow(ids.key(i)) << Write([] {}) << quint32(0) << QStringLiteral("(no row)");
        else
            QTest::newRow(ids.key(i)) << note->write << quint32(Notes::NoteMark | quint32(note->id))
                                      << QString::fromUtf8(note->text);
    }
    QTest::newRow("a hint") << Write([] {
        Notes::Hint({Cause::RateLimited, QStringLiteral("wait.")});
    }) << quint32(Notes::HintMark | quint32(Cause::RateLimited))
                            << QStringLiteral("Hint: wait.");
}

void tst_Hints::noteTexts()
{
    QFETCH(Write, write);
    QFETCH(quint32, mark);
    QFETCH(QString, text);
    EngineRun run;
    write();
    // The note is the first line; a hint may follow it.
    const QList<RecordedLog::Line> lines = run.headless().Recorded().Lines();
    QVERIFY(lines.size() >= 2);
    QCOMPARE(lines.first().text, text);
    QCOMPARE(lines.first().colour, std::optional<std::uint32_t>(Colors::Cyan));
    QCOMPARE(lines.first().mark, mark);
    // The tests read a note's arguments back by the sentence its id gives.
    if ((mark & ~0xFFFFu) == Notes::NoteMark)
        QCOMPARE(run.logLines().first().section(u'(', 0, 0), Expect::Note(Id(mark & 0xFFFF)));
}

QTEST_MAIN(tst_Hints)
#include "tst_hints.moc"
