#include "support/DnsServer.h"
#include "support/EngineRun.h"
#include "support/Expectations.h"
#include "support/MxResolver.h"
#include "support/ScriptedServer.h"

#include "engine/Hints.h"

#include <QtTest>

// Which hint the evidence of a failure leads to, with the replies real servers
// give (../shared/servers.md): the cause the hint names and whether the
// recipient's MX hosts are looked up. The hint is named by a part of its text
// that tells it from the others; "" is no hint. The causes whose hints end
// the whole logs of the other engine suites are tested there.
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
};

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
    QTest::addColumn<QString>("hint");
    QTest::addColumn<bool>("mx");

    const QString relay = QStringLiteral(
        "does not pass mail on to remote.example for a client that has not logged in");
    const QString loginFirst = QStringLiteral("takes mail only from users who log in");
    const QString tlsFirst = QStringLiteral("wants TLS before the login");

    // The connection.
    QTest::newRow("refused on 587") << OnPort(Base(Event::ConnectionRefused, Stage::Connect), 587)
                                    << "type mx.test:465 (TLS), with" << true;
    QTest::newRow("refused on 465") << OnPort(Base(Event::ConnectionRefused, Stage::Connect), 465)
                                    << "type mx.test:587 (STARTTLS), with" << true;
    QTest::newRow("refused on another port: nothing known")
        << OnPort(Base(Event::ConnectionRefused, Stage::Connect), 2525) << "" << true;
    QTest::newRow("refused on 25 of an IPv6 address")
        << OnPort(Base(Event::ConnectionRefused, Stage::Connect), 25, "::1")
        << "type [::1]:587 (STARTTLS) or [::1]:465 (TLS)" << true;
    QTest::newRow("time-out on 25")
        << OnPort(Base(Event::ConnectTimedOut, Stage::Connect), 25)
        << "block outgoing connections to port 25, probably this one too: type mx.test:587" << true;
    QTest::newRow("time-out on 465") << OnPort(Base(Event::ConnectTimedOut, Stage::Connect), 465)
                                     << "another port: type mx.test:587 (STARTTLS)" << true;
    QTest::newRow("host not found, a path typed")
        << Typed(Base(Event::HostNotFound, Stage::Connect), "mail.example.com/",
                 "mail.example.com/")
        << "alone, a port after a colon if need be: type mail.example.com." << true;
    QTest::newRow("a scheme typed: the field cannot be used")
        << Typed(Base(Event::NotStarted, Stage::Connect), "smtp://mail.example.com:587", "smtp")
        << "type mail.example.com:587." << false;
    QTest::newRow("not started, no scheme")
        << Base(Event::NotStarted, Stage::Connect) << "" << false;
    QTest::newRow("network unreachable")
        << Base(Event::ConnectFailed, Stage::Connect) << "" << true;

    // The greeting and the greeting command.
    QTest::newRow("greeting 421: nothing known")
        << Base(Event::Refused, Stage::Greeting, "421 4.3.2 Service not available") << "" << false;
    QTest::newRow("aiosmtpd, require_starttls, HELO without login")
        << Base(Event::Refused, Stage::Hello, "530 Must issue a STARTTLS command first")
        << loginFirst << false;
    QTest::newRow("Postfix, HELO not fully qualified")
        << Base(Event::Refused, Stage::Hello,
                "504 5.5.2 <bob>: Helo command rejected: need fully-qualified hostname")
        << "" << false;

    // AUTH before any credential: no mechanism in common, or TLS wanted first.
    QTest::newRow("Sendmail refuses AUTH on 587")
        << OnPort(Base(Event::Refused, Stage::AuthCommand, "503 5.3.3 AUTH not available"), 587)
        << "no login mechanism that Vormant can use here: type mx.test:465 (TLS)" << false;
    QTest::newRow("504 mechanism unknown")
        << Base(Event::Refused, Stage::AuthCommand, "504 5.5.4 Unrecognized authentication type")
        << "no login mechanism that Vormant can use" << false;
    QTest::newRow("aiosmtpd wants encryption")
        << Base(Event::Refused, Stage::AuthCommand,
                "538 5.7.11 Encryption required for requested authentication mechanism")
        << tlsFirst << false;
    QTest::newRow("Postfix on 587 before STARTTLS")
        << Base(Event::Refused, Stage::AuthCommand, "530 5.7.0 Must issue a STARTTLS command first")
        << tlsFirst << false;

    // The credentials.
    QTest::newRow("temporary failure of the login")
        << Base(Event::Refused, Stage::Credentials, "454 4.7.0 Temporary authentication failure")
        << "" << false;

    // The sender.
    QTest::newRow("MAIL without login, login required")
        << Base(Event::Refused, Stage::MailFrom, "530 5.7.0 Authentication required") << loginFirst
        << false;
    QTest::newRow("MAIL without login, 5.7.1")
        << Base(Event::Refused, Stage::MailFrom, "550 5.7.1 Relaying denied") << loginFirst
        << false;
    QTest::newRow("Postfix, sender not owned by the login")
        << LoggedIn(Base(Event::Refused, Stage::MailFrom,
                         "553 5.7.1 <alice@example.org>: Sender address rejected: not owned by "
                         "user alice@example.org"))
        << "does not let this login send as the sender" << false;
    QTest::newRow("null sender refused")
        << Base(Event::Refused, Stage::MailFrom,
                "553 5.1.8 <>: Sender address rejected: Domain not found")
        << "refuses the empty sender <>" << false;
    QTest::newRow("MAIL, temporary")
        << Base(Event::Refused, Stage::MailFrom, "451 4.3.0 Temporary lookup failure") << ""
        << false;

    // The recipient: relay or unknown. Relaying is also among the whole runs
    // below, which skip where no DNS server of their own can run.
    QTest::newRow("Postfix, relay access denied")
        << Base(Event::Refused, Stage::RcptTo,
                "454 4.7.1 <bob@remote.example>: Relay access denied")
        << relay << true;
    QTest::newRow("Exim, relay not permitted after a login")
        << LoggedIn(Base(Event::Refused, Stage::RcptTo, "550 relay not permitted"))
        << "does not pass mail on to remote.example even for this login" << true;
    QTest::newRow("OpenSMTPD, another domain: relay or unknown")
        << Base(Event::Refused, Stage::RcptTo, "550 Invalid recipient: <bob@remote.example>")
        << "either the server does not pass mail on to remote.example without a login" << true;
    QTest::newRow("OpenSMTPD, the server's domain: unknown")
        << ToServersDomain(
               Base(Event::Refused, Stage::RcptTo, "550 Invalid recipient: <nosuchuser@localhost>"))
        << "probably does not know the recipient nosuchuser@localhost" << false;
    QTest::newRow("5.7.1 for another domain without login")
        << Base(Event::Refused, Stage::RcptTo,
                "550 5.7.1 Recipient address rejected: Access denied")
        << "probably " + relay << true;
    QTest::newRow("5.7.1 for the server's domain: nothing known")
        << ToServersDomain(Base(Event::Refused, Stage::RcptTo,
                                "550 5.7.1 Recipient address rejected: Access denied"))
        << "" << false;
    const char *unknownUser[][2] = {
        {"Postfix", "550 5.1.1 <nosuchuser@localhost>: Recipient address rejected: User unknown in "
                    "local recipient table"},
        {"aiosmtpd", "550 5.1.1 <nosuchuser@localhost>: Recipient address rejected: User unknown"},
        {"Sendmail", "550 5.1.1 <nosuchuser@localhost>... User unknown"},
        {"Exim", "550 Unrouteable address"}};
    for (const auto &[server, reply] : unknownUser)
        QTest::addRow("%s, unknown user", server)
            << ToServersDomain(Base(Event::Refused, Stage::RcptTo, reply))
            << "does not know the recipient nosuchuser@localhost: check the address" << false;
    QTest::newRow("RCPT without login, login required")
        << Base(Event::Refused, Stage::RcptTo, "530 5.7.0 Authentication required") << loginFirst
        << false;
    QTest::newRow("greylisting")
        << Base(Event::Refused, Stage::RcptTo,
                "450 4.2.0 <bob@remote.example>: Recipient address rejected: Greylisted")
        << "greylisting" << false;
    QTest::newRow("no such domain")
        << Base(Event::Refused, Stage::RcptTo, "550 5.1.2 <bob@remote.example>... Host unknown")
        << "cannot deliver to the domain remote.example" << false;
    QTest::newRow("mailbox full at RCPT")
        << Base(Event::Refused, Stage::RcptTo, "552 5.2.2 Mailbox full") << "mailbox is full"
        << false;
    QTest::newRow("DATA refused: nothing known")
        << Base(Event::Refused, Stage::Data, "554 5.5.1 Error: no valid recipients") << "" << false;

    // The end of the data.
    QTest::newRow("spam") << Base(Event::Refused, Stage::Message,
                                  "550 5.7.1 Message rejected as spam by Content Filtering.")
                          << "content filter (spam) or by policy" << false;
    QTest::newRow("too large") << Base(Event::Refused, Stage::Message,
                                       "552 5.3.4 Message size exceeds fixed limit")
                               << "larger than the server takes" << false;
    QTest::newRow("Exim, header syntax: nothing known")
        << Base(Event::Refused, Stage::Message, "550 header syntax") << "" << false;

    // TLS.
    Hints::Evidence implicit = OnPort(Base(Event::HandshakeFailed, Stage::Greeting), 465);
    implicit.implicitTls = true;
    QTest::newRow("handshake on 465 fails")
        << implicit << "does not speak TLS from the start on port 465: type mx.test:587" << false;
    Hints::Evidence closed = Base(Event::HandshakeFailed, Stage::StartTls);
    closed.errorText = QStringLiteral("The remote host closed the connection");
    QTest::newRow("handshake after STARTTLS: a close, nothing known") << closed << "" << false;
    Hints::Evidence otherName = Base(Event::CertificateOtherName, Stage::StartTls);
    otherName.certificateName = QStringLiteral("mail.example.org");
    QTest::newRow("certificate without a name")
        << Base(Event::CertificateOtherName, Stage::StartTls) << "" << false;
    QTest::newRow("unknown issuer") << Base(Event::CertificateUnknownIssuer, Stage::StartTls)
                                    << "intermediate certificates" << false;
    QTest::newRow("password unencrypted on 587")
        << OnPort(Base(Event::PasswordUnencrypted, Stage::Credentials), 587)
        << "type mx.test:465 (TLS) if" << false;

    // Slow replies.
    QTest::newRow("slow RCPT: nothing known")
        << Base(Event::SlowReply, Stage::RcptTo) << "" << false;

    // Filtering receivers and large providers, whatever was sent last, in
    // their own words (OpenDMARC's source, Google's and Microsoft's pages).
    const QString unauthenticated = QStringLiteral("the sender's domain does not vouch for");
    const QString addressRefused =
        QStringLiteral("refuses this computer's address, not the message");
    const QString rateLimit = QStringLiteral("(a rate limit, often for a whole network)");
    const struct
    {
        const char *name;
        Stage stage;
        const char *reply;
        QString hint;
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
         QString()},
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
         "basic authentication is switched off"},
        {"Microsoft 365, SMTP AUTH disabled for the mailbox", Stage::Credentials,
         "535 5.7.139 Authentication unsuccessful, SmtpClientAuthentication is disabled for the "
         "Mailbox. Visit https://aka.ms/smtp_auth_disabled for more information.",
         "or ask its administrator to turn on authenticated SMTP (SMTP AUTH) for it."},
        {"Gmail 5.7.9", Stage::Credentials,
         "534-5.7.9 Application-specific password required. For more information, go to\r\n"
         "534 5.7.9  https://support.google.com/mail/?p=InvalidSecondFactor - gsmtp",
         "make an app password in the account's security settings and paste it in Pass"},
    };
    for (const auto &[name, stage, reply, hint] : byReceiver)
        QTest::newRow(name) << Base(Event::Refused, stage, reply) << hint << false;
}

void tst_Hints::choice()
{
    QFETCH(Hints::Evidence, evidence);
    QFETCH(QString, hint);
    QFETCH(bool, mx);

    const Hints::Hint chosen = Hints::Choose(evidence);
    QVERIFY2(hint.isEmpty() ? chosen.text.isEmpty() : chosen.text.contains(hint),
             qPrintable(chosen.text));
    QCOMPARE(chosen.lookUpRecipientMx, mx);
}

Q_DECLARE_METATYPE(QList<Hints::MailHost>)

void tst_Hints::mailHosts_data()
{
    QTest::addColumn<QList<Hints::MailHost>>("hosts");
    QTest::addColumn<bool>("serverTyped"); // the domain is the name typed as the server
    QTest::addColumn<QString>("serverHost");
    QTest::addColumn<QString>("hint");

    const QList<Hints::MailHost> two{{QStringLiteral("mx2.example.org."), 20},
                                     {QStringLiteral("mx1.example.org"), 10}};
    QTest::newRow("by preference, without the root's dot")
        << two << false << QStringLiteral("mx.test")
        << "mail for example.org is received by mx1.example.org (10), mx2.example.org (20): to "
           "test delivery, type one of them as the server.";
    QTest::newRow("the server name typed is a mail domain")
        << two << true << QStringLiteral("example.org")
        << "example.org is a mail domain without an address of its own: its mail is received by "
           "mx1.example.org (10), mx2.example.org (20); type one of them as the server.";
    QTest::newRow("the server typed is one of them")
        << two << false << QStringLiteral("MX2.example.org") << "";
    QTest::newRow("no records") << QList<Hints::MailHost>{} << false << QStringLiteral("mx.test")
                                << "";
    QTest::newRow("null MX") << QList<Hints::MailHost>{{QStringLiteral("."), 0}} << false
                             << QStringLiteral("mx.test")
                             << "example.org accepts no mail at all: its MX record says so (a "
                                "null MX).";
    QList<Hints::MailHost> seven;
    for (int i = 7; i >= 1; --i)
        seven << Hints::MailHost{QStringLiteral("mx%1.example.org").arg(i), i};
    QTest::newRow("the first five of seven")
        << seven << false << QStringLiteral("mx.test")
        << "mail for example.org is received by mx1.example.org (1), mx2.example.org (2), "
           "mx3.example.org (3), mx4.example.org (4), mx5.example.org (5): to test delivery, type "
           "one of them as the server.";
}

void tst_Hints::mailHosts()
{
    QFETCH(QList<Hints::MailHost>, hosts);
    QFETCH(bool, serverTyped);
    QFETCH(QString, serverHost);
    QFETCH(QString, hint);
    QCOMPARE(Hints::ForMailHosts(QStringLiteral("example.org"), hosts, serverTyped, serverHost),
             hint);
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

    const QString relayHint =
        QStringLiteral("C:Hint: the server does not pass mail on to example.org for a client that "
                       "has not logged in: type your user name and password, or send to an "
                       "address at a domain the server takes mail for.");
    const QString mailHosts =
        QStringLiteral("C:Hint: mail for example.org is received by mx1.example.org (10), "
                       "mx2.example.org (20): to test delivery, type one of them as the server.");

    QTest::newRow("Postfix refuses to relay")
        << RefusingRecipient("220 mx.test ESMTP Postfix (Debian/GNU)\r\n",
                             "454 4.7.1 <bob@example.org>: Relay access denied\r\n")
        << QString() << "bob@example.org" << Resolver::Answers
        << QStringList{"W:QUIT", "C:The server refused RCPT TO (454).", relayHint, mailHosts};
    QTest::newRow("Exim refuses to relay, the resolver never answers")
        << RefusingRecipient("220 mx.test ESMTP Exim 4.96\r\n", "550 relay not permitted\r\n")
        << QString() << "bob@example.org" << Resolver::NeverAnswers
        << QStringList{"W:QUIT", "C:The server refused RCPT TO (550).", relayHint};
    QTest::newRow("aiosmtpd refuses to relay to a domain without MX records")
        << RefusingRecipient("220 mx.test aiosmtpd\r\n",
                             "554 5.7.1 <bob@nomx.example>: Relay access denied\r\n")
        << QString() << "bob@nomx.example" << Resolver::Answers
        << QStringList{"C:The server refused RCPT TO (554).",
                       QString(relayHint).replace(QStringLiteral("example.org"),
                                                  QStringLiteral("nomx.example"))};
    QTest::newRow("nothing listens on port 25")
        << Script{} << "127.0.0.1"
        << "bob@example.org" << Resolver::Answers
        << QStringList{"C:Connection refused by 127.0.0.1 port {port}: no mail server listens "
                       "there (Connection refused).",
                       "C:Hint: the server probably takes mail from its users on another port: "
                       "type 127.0.0.1:587 (STARTTLS) or 127.0.0.1:465 (TLS), with your user "
                       "name and password.",
                       mailHosts};
    QTest::newRow("the server typed is a mail domain without an address")
        << Script{} << "example.org"
        << "bob@example.org" << Resolver::Answers
        << QStringList{"C:The host \"example.org\" was not found: check the server name (Host "
                       "not found).",
                       "C:Hint: example.org is a mail domain without an address of its own: its "
                       "mail is received by mx1.example.org (10), mx2.example.org (20); type one "
                       "of them as the server."};
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

QTEST_MAIN(tst_Hints)
#include "tst_hints.moc"
