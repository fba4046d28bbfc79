#include "DialogueHelpers.h"
#include "support/EngineRun.h"
#include "support/ReplyTimeouts.h"
#include "support/ScriptedServer.h"
#include "support/TestCertificates.h"

#include "engine/modQuendel_EmailClient.h"

#include <QtTest>

#include <memory>

// The dialogue of a whole run against a scripted server: what goes on the
// wire, what the log shows and which boxes appear.
class tst_Dialogue : public QObject
{
    Q_OBJECT
private slots:
    void successfulRunWithoutAuth();
    void successfulRunWithAuth();
    void wholeWireOfARun();
    void bodyOnTheWire_data();
    void bodyOnTheWire();
    void recipients_data();
    void recipients();
    void strictServers_data();
    void strictServers();
    void textGoesOutAsUtf8_data();
    void textGoesOutAsUtf8();
    void credentials_data();
    void credentials();
    void ehloGreeting_data();
    void ehloGreeting();
    void serverGivenAsIpv6Address();
    void initTestCase();
    void startTls_data();
    void startTls();

private:
    std::unique_ptr<TestCertificates> m_certificates;
    // A dialogue that goes astray waits for a reply the script never sends:
    // ten seconds make that a quick failure rather than a slow one.
    const ReplyTimeouts m_timeouts{10000, modQuendel_EmailClient::DataReplyTimeoutMs};
};

void tst_Dialogue::successfulRunWithoutAuth()
{
    ScriptedServer server(ScriptedServer::AcceptingScript(false));
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), {}, {}, server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());

    QCOMPARE(server.commands(), (QList<QByteArray>{"HELO [127.0.0.1]", "MAIL FROM:<>",
                                                   "RCPT TO:<bob@example.com>", "DATA", "QUIT"}));
    QCOMPARE(MessageShape::Masked(server.data()),
             DialogueHelpers::MessageData(QStringLiteral("bob@example.com"),
                                          DialogueHelpers::DateTimeIn(server.data()), "Hello"));
    QCOMPARE(run.logLines(), DialogueHelpers::AcceptingLogWithoutAuth());
    QCOMPARE(run.boxTexts(), QStringList{QStringLiteral("Email Sent")});
    QCOMPARE(run.boxes().first().style, 0);
    QCOMPARE(run.boxes().first().title, QStringLiteral("Vormant"));
    QVERIFY(run.windowUnlocked());
}

void tst_Dialogue::successfulRunWithAuth()
{
    ScriptedServer server(ScriptedServer::AcceptingScript(true));
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), QStringLiteral("user"),
             QStringLiteral("secret"), server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());

    QCOMPARE(server.commands().mid(0, 4),
             (QList<QByteArray>{"EHLO [127.0.0.1]", "AUTH LOGIN", "dXNlcg==", "c2VjcmV0"}));
    const QStringList log = run.logLines();
    QVERIFY(log.contains(QStringLiteral("W:dXNlcg==")));
    QVERIFY(log.contains(QStringLiteral("W:********")));
    QVERIFY(!run.window().rtbStatus->Text().contains(QStringLiteral("c2VjcmV0")));
    QCOMPARE(run.boxTexts(), QStringList{QStringLiteral("Email Sent")});
}

namespace {
const Commands FullDialogue{"HELO [127.0.0.1]", "MAIL FROM:<>", "RCPT TO:<bob@example.com>", "DATA",
                            "QUIT"};
const QStringList Sent{QStringLiteral("Email Sent")};
const QStringList Failed{QStringLiteral("SMTP Error!")};

QByteArray Base64(const QString &text)
{
    return text.toUtf8().toBase64();
}
} // namespace

void tst_Dialogue::wholeWireOfARun()
{
    ScriptedServer server(ScriptedServer::AcceptingScript(true));
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), QStringLiteral("user"),
             QStringLiteral("secret"), server.address());
    const QString stampBefore = DialogueHelpers::DateTimeNow();
    run.clickTest();
    QVERIFY(run.waitForRunEnd());
    const QString stampAfter = DialogueHelpers::DateTimeNow();

    const QString stamp = DialogueHelpers::DateTimeIn(server.received());
    QVERIFY2(stamp == stampBefore || stamp == stampAfter, qPrintable(stamp));
    const QByteArray wire =
        "EHLO [127.0.0.1]\r\nAUTH LOGIN\r\ndXNlcg==\r\nc2VjcmV0\r\nMAIL FROM:<>\r\n"
        "RCPT TO:<bob@example.com>\r\nDATA\r\n" +
        DialogueHelpers::MessageData(QStringLiteral("bob@example.com"), stamp, "Hello") +
        "QUIT\r\n";
    QCOMPARE(MessageShape::Masked(server.received()), wire);

    QCOMPARE(run.logLines(), DialogueHelpers::AcceptingLogWithAuth());
    QCOMPARE(run.boxTexts(), Sent);
    QVERIFY(run.windowUnlocked());
}

void tst_Dialogue::bodyOnTheWire_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QByteArray>("wireBody");
    QTest::addColumn<QByteArray>("encoding");

    // Text of ASCII characters in lines of mail's length goes as it is.
    const QByteArray seven("7bit");
    QTest::newRow("plain") << QStringLiteral("Hello") << QByteArray("Hello") << seven;
    QTest::newRow("a lone dot") << QStringLiteral(".") << QByteArray("..") << seven;
    QTest::newRow("leading dot") << QStringLiteral(".hidden") << QByteArray("..hidden") << seven;
    QTest::newRow("two leading dots") << QStringLiteral("..two") << QByteArray("...two") << seven;
    QTest::newRow("dot not at the start") << QStringLiteral(" .x.") << QByteArray(" .x.") << seven;
    QTest::newRow("LF") << QStringLiteral("a\nb") << QByteArray("a\r\nb") << seven;
    QTest::newRow("CR LF") << QStringLiteral("a\r\nb") << QByteArray("a\r\nb") << seven;
    QTest::newRow("bare CR") << QStringLiteral("a\rb") << QByteArray("a\r\nb") << seven;
    QTest::newRow("LF CR") << QStringLiteral("a\n\rb") << QByteArray("a\r\n\r\nb") << seven;
    QTest::newRow("end of data inside") << QStringLiteral("first\n.\nQUIT\nlast")
                                        << QByteArray("first\r\n..\r\nQUIT\r\nlast") << seven;
    QTest::newRow("end of data with CR LF")
        << QStringLiteral("x\r\n.\r\n") << QByteArray("x\r\n..\r\n") << seven;
    QTest::newRow("dots after bare CRs")
        << QStringLiteral("a\r.b\r.") << QByteArray("a\r\n..b\r\n..") << seven;
    QTest::newRow("blanks only") << QStringLiteral("   ") << QByteArray("   ") << seven;
    QTest::newRow("line of 998 octets") << QString(998, u'a') << QByteArray(998, 'a') << seven;

    // Quoted-printable: the UTF-8 bytes of a text beyond ASCII, and every
    // line too long for mail, in lines of at most 76 characters.
    const QByteArray qp("quoted-printable");
    QTest::newRow("UTF-8") << QStringLiteral("Gr\u00FC\u00DFe \u2713")
                           << QByteArray("Gr=C3=BC=C3=9Fe =E2=9C=93") << qp;
    QTest::newRow("UTF-8 with =, blank at the end, a dot")
        << QStringLiteral("\u00E9=1 \n.\u00E9\t") << QByteArray("=C3=A9=3D1=20\r\n..=C3=A9=09")
        << qp;
    const QByteArray soft = QByteArray(75, 'a') + "=\r\n";
    QTest::newRow("line of 999 octets")
        << QString(999, u'a') << soft.repeated(13) + QByteArray(24, 'a') << qp;
    QTest::newRow("dot at the start of a soft-broken line")
        << QString(75, u'a') + QStringLiteral(".\u00FC") << soft + QByteArray("..=C3=BC") << qp;
    QTest::newRow("encoded byte not cut at a soft break")
        << QString(74, u'a') + QStringLiteral("\u00FC") << QByteArray(74, 'a') + "=\r\n=C3=BC"
        << qp;
    QTest::newRow("plain text after a line beyond ASCII")
        << QStringLiteral("\u00FC\nplain") << QByteArray("=C3=BC\r\nplain") << qp;
}

void tst_Dialogue::bodyOnTheWire()
{
    QFETCH(QString, body);
    QFETCH(QByteArray, wireBody);
    QFETCH(QByteArray, encoding);

    ScriptedServer server(ScriptedServer::AcceptingScript(false));
    EngineRun run;
    run.fill(body, QStringLiteral("bob@example.com"), {}, {}, server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());

    const QString stamp = DialogueHelpers::DateTimeIn(server.data());
    QVERIFY(!stamp.isEmpty());
    const QString bob = QStringLiteral("bob@example.com");
    QCOMPARE(MessageShape::Masked(server.data()),
             MessageShape::Expected(MessageShape::ToHeader(bob), MessageShape::AdminAt(bob),
                                    stamp.toUtf8(), wireBody, encoding));
    QCOMPARE(server.commands(), FullDialogue); // nothing of the body became a command
    QCOMPARE(run.logLines(), DialogueHelpers::AcceptingLogWithoutAuth()); // the body is not logged
    QCOMPARE(run.boxTexts(), Sent);
}

void tst_Dialogue::recipients_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QByteArray>("toHeader");
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QString>("rcpt");

    QTest::newRow("address") << QStringLiteral("bob@example.com")
                             << QByteArray("bob <bob@example.com>")
                             << QByteArray("Admin@example.com")
                             << QStringLiteral("bob@example.com");
    // The server was given as an address: Admin needs a domain all the same.
    QTest::newRow("no @") << QStringLiteral("postmaster") << QByteArray("postmaster <postmaster>")
                          << QByteArray("Admin@localhost") << QStringLiteral("postmaster");
    QTest::newRow("two @") << QStringLiteral("first.last@relay@example.com")
                           << QByteArray("\"first.last\" <first.last@relay@example.com>")
                           << QByteArray("Admin@example.com")
                           << QStringLiteral("first.last@relay@example.com");
    QTest::newRow("blanks around")
        << QStringLiteral(" bob@example.com ") << QByteArray("bob <bob@example.com>")
        << QByteArray("Admin@example.com") << QStringLiteral("bob@example.com");
    // A display name that is not one atom is quoted (RFC 5322 3.2.5).
    QTest::newRow("dot in the local part")
        << QStringLiteral("first.last@example.org")
        << QByteArray("\"first.last\" <first.last@example.org>") << QByteArray("Admin@example.org")
        << QStringLiteral("first.last@example.org");
    QTest::newRow("quote and backslash in the local part")
        << QStringLiteral("a\"b\\c@example.org")
        << QByteArray("\"a\\\"b\\\\c\" <a\"b\\c@example.org>") << QByteArray("Admin@example.org")
        << QStringLiteral("a\"b\\c@example.org");
    QTest::newRow("atom characters in the local part")
        << QStringLiteral("o'neil+tag@example.org")
        << QByteArray("o'neil+tag <o'neil+tag@example.org>") << QByteArray("Admin@example.org")
        << QStringLiteral("o'neil+tag@example.org");
    // A domain in Unicode goes out in its ASCII form everywhere.
    QTest::newRow("international domain")
        << QStringLiteral("bob@b\u00FCcher.example")
        << QByteArray("bob <bob@xn--bcher-kva.example>")
        << QByteArray("Admin@xn--bcher-kva.example") << QStringLiteral("bob@xn--bcher-kva.example");
}

void tst_Dialogue::recipients()
{
    QFETCH(QString, email);
    QFETCH(QByteArray, toHeader);
    QFETCH(QByteArray, from);
    QFETCH(QString, rcpt);

    ScriptedServer server(ScriptedServer::AcceptingScript(false));
    EngineRun run;
    run.fill(QStringLiteral("Hello"), email, {}, {}, server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());

    QCOMPARE(server.commands(), (Commands{"HELO [127.0.0.1]", "MAIL FROM:<>",
                                          "RCPT TO:<" + rcpt.toUtf8() + ">", "DATA", "QUIT"}));
    const QString stamp = DialogueHelpers::DateTimeIn(server.data());
    QCOMPARE(MessageShape::Masked(server.data()),
             MessageShape::Expected(toHeader, from, stamp.toUtf8(), "Hello"));
    QVERIFY(run.logLines().contains(QStringLiteral("W:RCPT TO:<") + rcpt + u'>'));
    QCOMPARE(run.boxTexts(), Sent);
}

namespace {
// How a strict server judges an envelope (RFC 5321, 4.1.2): each path in
// angle brackets, a mailbox with a domain, or the null reverse-path.
struct StrictServer
{
    QByteArray greeting;
    QByteArray badSender;            // its reply to a reverse-path it refuses
    QByteArray badRecipient;         // and to a forward-path it refuses
    bool judgesSenderAtRcpt = false; // Sendmail takes MAIL and refuses at RCPT
    // Beyond the envelope, when set: the reply at RCPT to a greeting argument
    // that is neither a domain with a dot nor an address literal, and the
    // reply at the end of the data to a From header without a domain.
    QByteArray badHelo = {};
    QByteArray badHeader = {};
};

// What a strict server remembers of a session: the sender's verdict, the
// greeting's argument, and the server itself, whose data it reads.
struct StrictSession
{
    bool senderOk = false;
    QByteArray heloArgument;
    const ScriptedServer *server = nullptr;
};

bool IsQualifiedHelo(const QByteArray &argument)
{
    static const QRegularExpression qualified(
        QStringLiteral("^(\\[[0-9.]+\\]|\\[IPv6:[0-9a-fA-F:.]+\\]|[^\\[.]+(\\.[^.]+)+)$"));
    return qualified.match(QString::fromUtf8(argument)).hasMatch();
}

bool FromHasDomain(const QByteArray &data)
{
    static const QRegularExpression from(
        QStringLiteral("^From: [^\r\n<]*<[^<>@\\s]+@[^<>@\\s]+>\r$"),
        QRegularExpression::MultilineOption);
    return from.match(QString::fromUtf8(data)).hasMatch();
}

bool IsMailbox(const QByteArray &path)
{
    static const QRegularExpression mailbox(QStringLiteral("^<[^<> @]+@[^<> @]+>$"));
    return mailbox.match(QString::fromUtf8(path)).hasMatch();
}

QByteArray StrictReply(const StrictServer &server, StrictSession &session,
                       const QByteArray &command)
{
    bool &senderOk = session.senderOk;
    if (command.startsWith("HELO ") || command.startsWith("EHLO ")) {
        session.heloArgument = command.mid(5);
        return "250 mx.test\r\n";
    }
    if (command.startsWith("MAIL FROM:")) {
        const QByteArray path = command.mid(10);
        senderOk = path == "<>" || IsMailbox(path);
        if (!senderOk && !server.judgesSenderAtRcpt)
            return server.badSender;
        return "250 2.1.0 Ok\r\n";
    }
    if (command.startsWith("RCPT TO:")) {
        if (!senderOk)
            return server.badSender;
        if (!server.badHelo.isEmpty() && !IsQualifiedHelo(session.heloArgument))
            return server.badHelo;
        return IsMailbox(command.mid(8)) ? QByteArray("250 2.1.5 Ok\r\n") : server.badRecipient;
    }
    if (command == "DATA")
        return "354 go ahead\r\n";
    if (command == ".") {
        if (!server.badHeader.isEmpty() && !FromHasDomain(session.server->data()))
            return server.badHeader;
        return "250 2.0.0 queued\r\n";
    }
    if (command == "QUIT")
        return "221 2.0.0 Bye\r\n";
    if (command == "AUTH LOGIN")
        return "334 VXNlcm5hbWU6\r\n";
    return command.startsWith("cGFzcw") || command.startsWith("c2VjcmV0")
               ? QByteArray("235 2.7.0 ok\r\n")
               : QByteArray("334 UGFzc3dvcmQ6\r\n");
}

Script StrictScript(const StrictServer &server, const std::shared_ptr<StrictSession> &session)
{
    Script script{ScriptedServer::Say(server.greeting)};
    for (int i = 0; i < 12; ++i)
        script << ScriptedServer::Answer([server, session](const QByteArray &command) {
            return StrictReply(server, *session, command);
        });
    return script;
}
} // namespace

Q_DECLARE_METATYPE(StrictServer)

// Servers that refuse what RFC 5321 does not allow, with the replies they
// really give: the envelope must satisfy every one of them.
void tst_Dialogue::strictServers_data()
{
    QTest::addColumn<StrictServer>("server");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("pass");
    QTest::addColumn<QByteArray>("mailFrom");

    const StrictServer exim{"220 mx.test ESMTP Exim 4.96\r\n",
                            "501 Admin: sender address must contain a domain\r\n",
                            "501 bob: recipient address must contain a domain\r\n"};
    const StrictServer opensmtpd{"220 mx.test ESMTP OpenSMTPD\r\n",
                                 "553 5.1.0 Sender address syntax error\r\n",
                                 "553 5.1.0 Recipient address syntax error\r\n"};
    const StrictServer courier{"220 mx.test ESMTP\r\n",
                               "554 Syntax error - your mail software violates RFC 821.\r\n",
                               "554 Syntax error - your mail software violates RFC 821.\r\n"};
    const StrictServer sendmail{
        "220 mx.test ESMTP Sendmail 8.17.1.9\r\n",
        "553 5.5.4 bob@localhost... Domain name required for sender address Admin\r\n",
        "553 5.5.4 bob... Domain name required\r\n", true};
    const StrictServer postfix{"220 mx.test ESMTP Postfix (Debian/GNU)\r\n",
                               "501 5.1.7 Bad sender address syntax\r\n",
                               "501 5.1.3 Bad recipient address syntax\r\n"};

    const struct
    {
        const char *name;
        StrictServer server;
    } servers[] = {{"Exim", exim},
                   {"OpenSMTPD", opensmtpd},
                   {"Courier", courier},
                   {"Sendmail", sendmail},
                   {"Postfix, strict envelopes", postfix}};
    for (const auto &server : servers)
        QTest::addRow("%s", server.name)
            << server.server << QString() << QString() << QByteArray("<>");

    // Postfix with the HELO restrictions hardening guides recommend
    // (smtpd_helo_required, reject_non_fqdn_helo_hostname), and Exim with
    // Debian's check of the address headers.
    const StrictServer postfixHelo{
        "220 mx.test ESMTP Postfix (Debian/GNU)\r\n", "501 5.1.7 Bad sender address syntax\r\n",
        "501 5.1.3 Bad recipient address syntax\r\n", false,
        "504 5.5.2 <bob>: Helo command rejected: need fully-qualified hostname\r\n"};
    StrictServer eximHeaders = exim;
    eximHeaders.badHeader = "550 header syntax\r\n";
    for (const auto &[name, server] : {std::pair{"Postfix, qualified HELO", postfixHelo},
                                       {"Exim, header syntax", eximHeaders}}) {
        QTest::addRow("%s", name) << server << QString() << QString() << QByteArray("<>");
        QTest::addRow("%s, login", name) << server << "alice"
                                         << "secret" << QByteArray("<>");
        QTest::addRow("%s, login address", name) << server << "alice@example.org"
                                                 << "secret" << QByteArray("<alice@example.org>");
    }

    // The sender: the login name when it is a mail address, else the null path.
    QTest::newRow("login name without @") << exim << "alice"
                                          << "secret" << QByteArray("<>");
    QTest::newRow("login name that is an address") << exim << "alice@example.org"
                                                   << "secret" << QByteArray("<alice@example.org>");
    QTest::newRow("login address with a domain beyond ASCII")
        << exim << QStringLiteral("alice@b\u00FCcher.example") << "secret"
        << QByteArray("<alice@xn--bcher-kva.example>");
    QTest::newRow("address as user name, no password") << exim << "alice@example.org"
                                                       << "" << QByteArray("<>");
    QTest::newRow("login name with nothing before @") << exim << "@example.org"
                                                      << "secret" << QByteArray("<>");
    QTest::newRow("login name with nothing after @") << exim << "alice@"
                                                     << "secret" << QByteArray("<>");
    QTest::newRow("login name with a blank") << exim << "alice smith@example.org"
                                             << "secret" << QByteArray("<>");
}

void tst_Dialogue::strictServers()
{
    QFETCH(StrictServer, server);
    QFETCH(QString, user);
    QFETCH(QString, pass);
    QFETCH(QByteArray, mailFrom);

    auto session = std::make_shared<StrictSession>();
    ScriptedServer scripted(StrictScript(server, session));
    session->server = &scripted;
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@localhost"), user, pass,
             scripted.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());

    QCOMPARE(run.boxTexts(), Sent);
    const Commands envelope{"MAIL FROM:" + mailFrom, "RCPT TO:<bob@localhost>", "DATA", "QUIT"};
    QCOMPARE(scripted.commands().mid(scripted.commands().size() - 4), envelope);
    // The log shows the commands exactly as they went out.
    const QStringList log = run.logLines();
    QVERIFY(log.contains(QStringLiteral("W:MAIL FROM:") + QString::fromUtf8(mailFrom)));
    QVERIFY(log.contains(QStringLiteral("W:RCPT TO:<bob@localhost>")));
}

// A recipient whose local part is beyond ASCII: the server must offer
// SMTPUTF8 (RFC 6531), for which the client greets with EHLO even without a
// login; the domain goes out in its ASCII form.
void tst_Dialogue::textGoesOutAsUtf8_data()
{
    QTest::addColumn<QByteArray>("ehloReply");
    QTest::addColumn<Commands>("commands");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("lastNote");

    const QByteArray ehlo("EHLO [127.0.0.1]");
    const QString unoffered = QStringLiteral(
        "C:The recipient's address has characters beyond ASCII before its \"@\": that needs "
        "SMTPUTF8, which this server does not offer. Nothing was sent to the recipient.");
    QTest::newRow("SMTPUTF8 offered")
        << QByteArray("250-mx.test\r\n250-8BITMIME\r\n250 SMTPUTF8\r\n")
        << Commands{ehlo, "MAIL FROM:<> SMTPUTF8", "RCPT TO:<j\xC3\xB6rg@xn--bcher-kva.example>",
                    "DATA", "QUIT"}
        << Sent << DialogueHelpers::TookNote;
    QTest::newRow("SMTPUTF8 not offered")
        << QByteArray("250-mx.test\r\n250-8BITMIME\r\n250 HELP\r\n") << Commands{ehlo, "QUIT"}
        << Failed << unoffered;
    QTest::newRow("EHLO refused, HELO then")
        << QByteArray("502 5.5.2 not implemented\r\n") << Commands{ehlo, "HELO [127.0.0.1]", "QUIT"}
        << Failed << unoffered;
}

void tst_Dialogue::textGoesOutAsUtf8()
{
    QFETCH(QByteArray, ehloReply);
    QFETCH(Commands, commands);
    QFETCH(QStringList, boxes);
    QFETCH(QString, lastNote);

    // Byte by byte, so that characters of several bytes are cut apart too.
    using S = ScriptedServer;
    const Script script{S::Say("220 Gr\xC3\xBC\xC3\x9F"
                               "e \xE2\x9C\x93\r\n"),
                        S::Say(ehloReply),
                        S::Say("250 mx.test\r\n"),
                        S::Say("250 2.1.0 Ok\r\n"),
                        S::Say("250 2.1.5 Ok\r\n"),
                        S::Say("354 go ahead\r\n"),
                        S::Say("250 2.0.0 queued\r\n"),
                        S::Say("221 2.0.0 Bye\r\n")};
    Script played = DialogueHelpers::InPieces(script, 1, 1);
    if (!ehloReply.startsWith("502"))
        played.removeAt(2); // no HELO after an accepted EHLO
    ScriptedServer server(played);
    EngineRun run;
    const QString email = QStringLiteral("j\u00F6rg@b\u00FCcher.example");
    run.fill(QStringLiteral("Gr\u00FC\u00DFe"), email, {}, {}, server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());

    QCOMPARE(server.commands(), commands);
    QCOMPARE(run.boxTexts(), boxes);
    const QStringList log = run.logLines();
    QCOMPARE(log.at(2), QStringLiteral("Y:220 Gr\u00FC\u00DFe \u2713"));
    QCOMPARE(log.last(), lastNote);
    if (boxes != Sent) {
        QVERIFY(server.data().isEmpty());
        return;
    }
    const QString stamp = DialogueHelpers::DateTimeIn(server.data());
    QCOMPARE(MessageShape::Masked(server.data()),
             MessageShape::Expected("j\xC3\xB6rg <j\xC3\xB6rg@xn--bcher-kva.example>",
                                    "Admin@xn--bcher-kva.example", stamp.toUtf8(),
                                    "Gr=C3=BC=C3=9Fe", "quoted-printable"));
}

void tst_Dialogue::credentials_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("pass");
    QTest::addColumn<bool>("authenticates");

    QTest::newRow("ASCII") << QStringLiteral("user") << QStringLiteral("secret") << true;
    QTest::newRow("UTF-8") << QStringLiteral("j\u00FCrgen")
                           << QStringLiteral("p\u00E4ssw\u00F6rd\u2713") << true;
    QTest::newRow("long") << QStringLiteral("someone.with.a.long.name")
                          << QString(120, u'k') + QStringLiteral("!") << true;
    QTest::newRow("blanks") << QStringLiteral(" ") << QStringLiteral("  ") << true;
    QTest::newRow("user without password") << QStringLiteral("user") << QString() << false;
    QTest::newRow("password without user") << QString() << QStringLiteral("secret") << false;
}

void tst_Dialogue::credentials()
{
    QFETCH(QString, user);
    QFETCH(QString, pass);
    QFETCH(bool, authenticates);

    ScriptedServer server(ScriptedServer::AcceptingScript(authenticates));
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), user, pass,
             server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());
    QCOMPARE(run.boxTexts(), Sent);

    const QStringList log = run.logLines();
    const QString logText = run.window().rtbStatus->Text();
    if (!authenticates) {
        QCOMPARE(server.commands(), FullDialogue);
        QCOMPARE(log, DialogueHelpers::AcceptingLogWithoutAuth());
        return;
    }
    QCOMPARE(server.commands().mid(0, 4),
             (Commands{"EHLO [127.0.0.1]", "AUTH LOGIN", Base64(user), Base64(pass)}));
    QCOMPARE(server.commands().mid(4), FullDialogue.mid(1));
    // The user name's Base64 is shown; in the password's place stands a mask.
    const qsizetype userLine =
        log.indexOf(QStringLiteral("W:") + QString::fromLatin1(Base64(user)));
    QVERIFY(userLine > 0);
    QCOMPARE(log.at(userLine + 3), QStringLiteral("W:********"));
    QVERIFY(!logText.contains(QString::fromLatin1(Base64(pass))));
    if (!pass.trimmed().isEmpty())
        QVERIFY(!logText.contains(pass));
}

namespace {
// The hint after the last note of each failing row of ehloGreeting(), ""
// where the evidence points to no cause.
const QHash<QString, QString> GreetingFailureHint{
    {"EHLO refused, and HELO too", ""},
    {"EHLO refused with 501: no second greeting", ""},
    {"AUTH LOGIN refused with 503",
     "C:Hint: the server probably takes no login on port {port}: a provider's server takes logins "
     "on its submission ports; type 127.0.0.1:587 (STARTTLS) or 127.0.0.1:465 (TLS)."},
    {"user name refused with 500", ""},
    {"PLAIN refused", "C:Hint: the user name is often the whole mail address, not only the part "
                      "before the @; some providers want an app password made for mail programs "
                      "instead of the usual one."},
    {"neither LOGIN nor PLAIN",
     "C:Hint: the server probably offers no login mechanism that Vormant can use here: type "
     "127.0.0.1:587 (STARTTLS) or 127.0.0.1:465 (TLS), or ask the server's administrator."},
    {"AUTH LOGIN refused with 535",
     "C:Hint: the server probably offers no login mechanism that Vormant can use here: type "
     "127.0.0.1:587 (STARTTLS) or 127.0.0.1:465 (TLS), or ask the server's administrator."},
};
} // namespace

// A client that logs in greets with EHLO; a server without extensions
// refuses it with 500 or 502, and the client greets with HELO instead.
void tst_Dialogue::ehloGreeting_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<Commands>("commands");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("lastNote");

    using S = ScriptedServer;
    const QString took = DialogueHelpers::TookNote;
    const Script greeting{S::Say("220 scripted\r\n")};
    const Turn ehloReply = S::Say("250-scripted\r\n250-AUTH LOGIN PLAIN\r\n250 HELP\r\n");
    const Script rest{S::Say("334 VXNlcm5hbWU6\r\n"), S::Say("334 UGFzc3dvcmQ6\r\n"),
                      S::Say("235 2.7.0 ok\r\n"),     S::Say("250 ok\r\n"),
                      S::Say("250 ok\r\n"),           S::Say("354 go on\r\n"),
                      S::Say("250 queued\r\n"),       S::Say("221 bye\r\n")};
    const Commands login{
        "AUTH LOGIN", "dXNlcg==", "c2VjcmV0", "MAIL FROM:<>", "RCPT TO:<bob@example.com>",
        "DATA",       "QUIT"};

    QTest::newRow("EHLO accepted") << greeting + Script{ehloReply} + rest
                                   << Commands{"EHLO [127.0.0.1]"} + login << Sent << took;
    for (const char *refusal :
         {"500 5.5.1 command unrecognized\r\n", "502 5.5.2 not implemented\r\n"}) {
        QTest::addRow("EHLO refused %.3s, HELO then", refusal)
            << greeting + Script{S::Say(refusal), S::Say("250 scripted\r\n")} + rest
            << Commands{"EHLO [127.0.0.1]", "HELO [127.0.0.1]"} + login << Sent << took;
    }
    QTest::newRow("EHLO refused, and HELO too")
        << greeting + Script{S::Say("500 no\r\n"), S::Say("501 no HELO either\r\n")}
        << Commands{"EHLO [127.0.0.1]", "HELO [127.0.0.1]", "QUIT"} << Failed << QString();
    QTest::newRow("EHLO refused with 501: no second greeting")
        << greeting + Script{S::Say("501 5.5.4 bad argument\r\n")}
        << Commands{"EHLO [127.0.0.1]", "QUIT"} << Failed << QString();
    QTest::newRow("AUTH LOGIN refused with 503")
        << greeting + Script{ehloReply, S::Say("503 5.5.1 not now\r\n")}
        << Commands{"EHLO [127.0.0.1]", "AUTH LOGIN", "QUIT"} << Failed << QString();
    QTest::newRow("user name refused with 500")
        << greeting + Script{ehloReply, S::Say("334 VXNlcm5hbWU6\r\n"), S::Say("500 no\r\n")}
        << Commands{"EHLO [127.0.0.1]", "AUTH LOGIN", "dXNlcg==", "QUIT"} << Failed << QString();

    // The login the EHLO reply allows (RFC 4954). Postfix with Dovecot's
    // SASL offers PLAIN only, and refuses AUTH LOGIN for it.
    const QByteArray plainResponse = "AUTH PLAIN " + QByteArray("\0user\0secret", 12).toBase64();
    const Turn dovecot = S::Answer([plainResponse](const QByteArray &command) -> QByteArray {
        if (command == plainResponse)
            return "235 2.7.0 Authentication successful\r\n";
        if (command.startsWith("AUTH LOGIN"))
            return "535 5.7.8 Error: authentication failed: Invalid authentication mechanism\r\n";
        return "535 5.7.8 Error: authentication failed: authentication failure\r\n";
    });
    const Script afterLogin{S::Say("250 2.1.0 Ok\r\n"), S::Say("250 2.1.5 Ok\r\n"),
                            S::Say("354 End data with <CR><LF>.<CR><LF>\r\n"),
                            S::Say("250 2.0.0 Ok: queued as 4F1A2\r\n"),
                            S::Say("221 2.0.0 Bye\r\n")};
    const Commands mailCommands{"MAIL FROM:<>", "RCPT TO:<bob@example.com>", "DATA", "QUIT"};
    QTest::newRow("only PLAIN offered (Postfix with Dovecot)")
        << Script{S::Say("220 mx.test ESMTP Postfix (Debian/GNU)\r\n"),
                  S::Say("250-mx.test\r\n250-PIPELINING\r\n250-SIZE 10240000\r\n250-VRFY\r\n"
                         "250-ETRN\r\n250-AUTH PLAIN\r\n250-ENHANCEDSTATUSCODES\r\n"
                         "250-8BITMIME\r\n250-DSN\r\n250-SMTPUTF8\r\n250 CHUNKING\r\n"),
                  dovecot} +
               afterLogin
        << Commands{"EHLO [127.0.0.1]", plainResponse} + mailCommands << Sent << took;
    QTest::newRow("PLAIN in the old AUTH= form, lower case")
        << greeting + Script{S::Say("250-scripted\r\n250 AUTH=plain\r\n"), dovecot} + afterLogin
        << Commands{"EHLO [127.0.0.1]", plainResponse} + mailCommands << Sent << took;
    QTest::newRow("PLAIN refused")
        << greeting + Script{S::Say("250-scripted\r\n250 AUTH PLAIN\r\n"),
                             S::Say("535 5.7.8 Error: authentication failed: authentication "
                                    "failure\r\n")}
        << Commands{"EHLO [127.0.0.1]", plainResponse, "QUIT"} << Failed
        << QStringLiteral("C:The server did not accept the user name or password (535).");
    QTest::newRow("neither LOGIN nor PLAIN")
        << greeting + Script{S::Say("250-scripted\r\n250-AUTH CRAM-MD5 SCRAM-SHA-256\r\n"
                                    "250 HELP\r\n")}
        << Commands{"EHLO [127.0.0.1]", "QUIT"} << Failed
        << QStringLiteral("C:The server offers no login Vormant can use (AUTH CRAM-MD5 "
                          "SCRAM-SHA-256): Vormant logs in with LOGIN or PLAIN.");
    QTest::newRow("AUTH LOGIN refused with 535")
        << greeting + Script{ehloReply, dovecot}
        << Commands{"EHLO [127.0.0.1]", "AUTH LOGIN", "QUIT"} << Failed
        << QStringLiteral("C:The server refused AUTH LOGIN (535).");
}

void tst_Dialogue::ehloGreeting()
{
    QFETCH(Script, script);
    QFETCH(Commands, commands);
    QFETCH(QStringList, boxes);
    QFETCH(QString, lastNote);

    ScriptedServer server(script);
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), QStringLiteral("user"),
             QStringLiteral("secret"), server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());

    QCOMPARE(server.commands(), commands);
    QCOMPARE(run.boxTexts(), boxes);
    QVERIFY(run.windowUnlocked());
    // Every greeting sent is in the log, in white, in the order sent.
    const QStringList log = run.logLines();
    QStringList greetings;
    for (const QString &line : log) {
        if (line.startsWith(QStringLiteral("W:EHLO ")) ||
            line.startsWith(QStringLiteral("W:HELO ")))
            greetings << line.mid(2);
    }
    QStringList sentGreetings;
    for (const QByteArray &command : commands) {
        if (command.startsWith("EHLO ") || command.startsWith("HELO "))
            sentGreetings << QString::fromLatin1(command);
    }
    QCOMPARE(greetings, sentGreetings);
    // A failing row ends with its hint, or has explicitly none.
    QStringList end = lastNote.isEmpty() ? QStringList() : QStringList{lastNote};
    if (boxes == Failed) {
        const QString tag = QString::fromUtf8(QTest::currentDataTag());
        QVERIFY2(GreetingFailureHint.contains(tag), "no hint given for this failing row");
        if (!GreetingFailureHint.value(tag).isEmpty())
            end << GreetingFailureHint.value(tag);
    }
    QCOMPARE(log.mid(log.size() - end.size()), end);
    // AUTH PLAIN carries the password: the log masks all of it.
    QVERIFY(!run.window().rtbStatus->Text().contains(QStringLiteral("AHVzZXIAc2VjcmV0")));
    if (commands.size() > 1 && commands.at(1).startsWith("AUTH PLAIN"))
        QVERIFY(log.contains(QStringLiteral("W:AUTH PLAIN ********")));
}

void tst_Dialogue::serverGivenAsIpv6Address()
{
    ScriptedServer server(ScriptedServer::AcceptingScript(false),
                          QHostAddress(QHostAddress::LocalHostIPv6));
    if (!server.listening())
        QSKIP("this machine has no IPv6 loopback");
    QVERIFY(server.address().startsWith(QStringLiteral("[::1]:")));
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), {}, {}, server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());
    // The greeting names this end of the connection in IPv6 form.
    QCOMPARE(server.commands(), Commands{"HELO [IPv6:::1]"} + FullDialogue.mid(1));
    QCOMPARE(run.boxTexts(), Sent);
}

void tst_Dialogue::initTestCase()
{
    m_certificates = std::make_unique<TestCertificates>();
    QVERIFY2(m_certificates->error().isEmpty(), qPrintable(m_certificates->error()));
    m_certificates->trustCa();
}

namespace {
// A server that offers AUTH only inside TLS, with the replies it really gives
// ("|" between the lines of one reply): the login must go through STARTTLS.
struct TlsOnlyServer
{
    const char *name;
    const char *greeting;
    const char *ehloBeforeTls; // offers STARTTLS, not AUTH
    const char *readyForTls;   // the reply to STARTTLS
    const char *ehloInsideTls; // offers AUTH LOGIN among its mechanisms
    const char *authenticated;
    const char *senderOk;
    const char *recipientOk;
    const char *goAhead;
    const char *queued;
    const char *bye;
    int pieceSize = 0; // > 0: the EHLO replies arrive in pieces of this size
};

QByteArray Reply(const char *lines)
{
    return QByteArray(lines).replace('|', "\r\n") + "\r\n";
}

Script LoginInsideTls(const TlsOnlyServer &server)
{
    using S = ScriptedServer;
    return {S::Say(Reply(server.greeting)),
            S::SayInPieces(Reply(server.ehloBeforeTls), server.pieceSize, 1),
            S::SayThenTls(Reply(server.readyForTls)),
            S::SayInPieces(Reply(server.ehloInsideTls), server.pieceSize, 1),
            S::Say(Reply("334 VXNlcm5hbWU6")),
            S::Say(Reply("334 UGFzc3dvcmQ6")),
            S::Say(Reply(server.authenticated)),
            S::Say(Reply(server.senderOk)),
            S::Say(Reply(server.recipientOk)),
            S::Say(Reply(server.goAhead)),
            S::Say(Reply(server.queued)),
            S::Say(Reply(server.bye))};
}

// Each of these refuses AUTH before STARTTLS (Postfix on port 587 refuses
// every mail command), and OpenSMTPD refuses a second EHLO before it: the
// only dialogue they all accept is EHLO, STARTTLS, EHLO, AUTH LOGIN.
const TlsOnlyServer TlsOnlyServers[] = {
    {"Postfix, port 25, smtpd_tls_auth_only", "220 mx.test ESMTP Postfix (Debian/GNU)",
     "250-mx.test|250-PIPELINING|250-SIZE 10240000|250-VRFY|250-ETRN|250-STARTTLS|"
     "250-ENHANCEDSTATUSCODES|250-8BITMIME|250-DSN|250-SMTPUTF8|250 CHUNKING",
     "220 2.0.0 Ready to start TLS",
     "250-mx.test|250-PIPELINING|250-SIZE 10240000|250-VRFY|250-ETRN|250-AUTH PLAIN LOGIN|"
     "250-ENHANCEDSTATUSCODES|250-8BITMIME|250-DSN|250-SMTPUTF8|250 CHUNKING",
     "235 2.7.0 Authentication successful", "250 2.1.0 Ok", "250 2.1.5 Ok",
     "354 End data with <CR><LF>.<CR><LF>", "250 2.0.0 Ok: queued as 4Tq1X20Z5sz9sWm",
     "221 2.0.0 Bye"},
    {"Postfix submission, port 587, encrypt", "220 mx.test ESMTP Postfix (Debian/GNU)",
     "250-mx.test|250-PIPELINING|250-SIZE 10240000|250-VRFY|250-ETRN|250-STARTTLS|"
     "250-ENHANCEDSTATUSCODES|250-8BITMIME|250-DSN|250-SMTPUTF8|250 CHUNKING",
     "220 2.0.0 Ready to start TLS",
     "250-mx.test|250-PIPELINING|250-SIZE 10240000|250-VRFY|250-ETRN|"
     "250-AUTH PLAIN LOGIN|250-AUTH=PLAIN LOGIN|250-ENHANCEDSTATUSCODES|250-8BITMIME|250-DSN|"
     "250-SMTPUTF8|250 CHUNKING",
     "235 2.7.0 Authentication successful", "250 2.1.0 Ok", "250 2.1.5 Ok",
     "354 End data with <CR><LF>.<CR><LF>", "250 2.0.0 Ok: queued as 4Tq1X20Z5sz9sWn",
     "221 2.0.0 Bye"},
    {"Exim 4.96", "220 mx.test ESMTP Exim 4.96 Tue, 08 Dec 2026 00:55:53 +0000",
     "250-mx.test Hello bob [127.0.0.1]|250-SIZE 52428800|250-8BITMIME|250-PIPELINING|"
     "250-PIPECONNECT|250-CHUNKING|250-STARTTLS|250-PRDR|250 HELP",
     "220 TLS go ahead",
     "250-mx.test Hello bob [127.0.0.1]|250-SIZE 52428800|250-8BITMIME|250-PIPELINING|"
     "250-PIPECONNECT|250-AUTH PLAIN LOGIN|250-CHUNKING|250-PRDR|250 HELP",
     "235 Authentication succeeded", "250 OK", "250 Accepted",
     "354 Enter message, ending with \".\" on a line by itself", "250 OK id=1tKz3f-000Abc-2D",
     "221 mx.test closing connection"},
    {"OpenSMTPD 6.8", "220 mx.test ESMTP OpenSMTPD",
     "250-mx.test Hello bob [127.0.0.1], pleased to meet you|250-8BITMIME|"
     "250-ENHANCEDSTATUSCODES|250-SIZE 36700160|250-DSN|250-STARTTLS|250 HELP",
     "220 2.0.0 Ready to start TLS",
     "250-mx.test Hello bob [127.0.0.1], pleased to meet you|250-8BITMIME|"
     "250-ENHANCEDSTATUSCODES|250-SIZE 36700160|250-DSN|250-AUTH PLAIN LOGIN|250 HELP",
     "235 2.0.0 Authentication succeeded", "250 2.0.0 Ok",
     "250 2.1.5 Destination address valid: Recipient ok",
     "354 Enter mail, end with \".\" on a line by itself",
     "250 2.0.0 5e2a1b3c Message accepted for delivery", "221 2.0.0 Bye"},
    {"Sendmail 8.17",
     "220 mx.test ESMTP Sendmail 8.17.1.9/8.17.1.9/Debian-2+deb12u2; Tue, 8 Dec "
     "2026 00:57:51 GMT; (No UCE/UBE) logging access from: localhost(OK)-localhost [127.0.0.1]",
     "250-mx.test Hello localhost [127.0.0.1], pleased to meet you|250-ENHANCEDSTATUSCODES|"
     "250-PIPELINING|250-EXPN|250-VERB|250-8BITMIME|250-SIZE|250-DSN|250-ETRN|250-STARTTLS|"
     "250-DELIVERBY|250 HELP",
     "220 2.0.0 Ready to start TLS",
     "250-mx.test Hello localhost [127.0.0.1], pleased to meet you|250-ENHANCEDSTATUSCODES|"
     "250-PIPELINING|250-EXPN|250-VERB|250-8BITMIME|250-SIZE|250-DSN|250-ETRN|"
     "250-AUTH DIGEST-MD5 CRAM-MD5 LOGIN PLAIN|250-DELIVERBY|250 HELP",
     "235 2.0.0 OK Authenticated", "250 2.1.0 <>... Sender ok",
     "250 2.1.5 <bob@example.com>... Recipient ok",
     "354 Enter mail, end with \".\" on a line by itself",
     "250 2.0.0 2B80vrA1001234 Message accepted for delivery",
     "221 2.0.0 mx.test closing connection"},
    {"Courier 1.0, ESMTPAUTH_TLS", "220 mx.test ESMTP",
     "250-mx.test Ok.|250-XVERP=Courier|250-XEXDATA|250-XSECURITY=NONE,STARTTLS|250-PIPELINING|"
     "250-8BITMIME|250-SIZE|250-DSN|250-STARTTLS|250 HELP",
     "220 Ok",
     "250-mx.test Ok.|250-XVERP=Courier|250-XEXDATA|250-XSECURITY=NONE,STARTTLS|250-PIPELINING|"
     "250-8BITMIME|250-SIZE|250-DSN|250-AUTH LOGIN CRAM-MD5 CRAM-SHA1|250 HELP",
     "235 Ok", "250 Ok", "250 Ok", "354 Ok.", "250 Ok. 00000000000001A9.000000006795.0001",
     "221 Bye."},
    // aiosmtpd writes each line of a reply on its own, so they come in pieces.
    {"aiosmtpd 1.4, defaults", "220 mx.test aiosmtpd",
     "250-mx.test|250-SIZE 33554432|250-8BITMIME|250-SMTPUTF8|250-STARTTLS|250 HELP",
     "220 Ready to start TLS",
     "250-mx.test|250-SIZE 33554432|250-8BITMIME|250-SMTPUTF8|250-AUTH LOGIN PLAIN|250 HELP",
     "235 2.7.0 Authentication successful", "250 OK", "250 OK",
     "354 End data with <CR><LF>.<CR><LF>", "250 OK", "221 Bye", 7},
};

// The server's reply lines as the log shows them, in yellow, in order.
QStringList ReplyLines(const Script &script)
{
    QStringList lines;
    for (const Turn &turn : script) {
        for (const QByteArray &line : turn.reply.split('\n')) {
            if (!line.isEmpty())
                lines << QStringLiteral("Y:") + QString::fromUtf8(line.chopped(1));
        }
    }
    return lines;
}
} // namespace

// A login with STARTTLS (RFC 3207), and every way the upgrade can go wrong.
// Whatever happens, the password never crosses the wire in clear.
void tst_Dialogue::startTls_data()
{
    using Tls = ScriptedServer::Tls;
    using Kind = TestCertificates::Kind;
    QTest::addColumn<Script>("script");
    QTest::addColumn<int>("certificate"); // TestCertificates::Kind
    QTest::addColumn<int>("replyTimeoutMs");
    QTest::addColumn<Commands>("commands");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("note"); // a note the log must hold, "{port}" for the port
    QTest::addColumn<QString>("hint"); // the hint after the report, or at the end; "" for none

    using S = ScriptedServer;
    const Script offer{S::Say("220 mx.test ESMTP\r\n"),
                       S::Say("250-mx.test\r\n250-STARTTLS\r\n250 HELP\r\n")};
    const Script inside{S::Say("250-mx.test\r\n250-AUTH LOGIN PLAIN\r\n250 HELP\r\n"),
                        S::Say("334 VXNlcm5hbWU6\r\n"),
                        S::Say("334 UGFzc3dvcmQ6\r\n"),
                        S::Say("235 2.7.0 ok\r\n"),
                        S::Say("250 ok\r\n"),
                        S::Say("250 ok\r\n"),
                        S::Say("354 go on\r\n"),
                        S::Say("250 queued\r\n"),
                        S::Say("221 bye\r\n")};
    const Commands whole{
        "EHLO [127.0.0.1]", "STARTTLS",     "EHLO [127.0.0.1]",          "AUTH LOGIN", "dXNlcg==",
        "c2VjcmV0",         "MAIL FROM:<>", "RCPT TO:<bob@example.com>", "DATA",       "QUIT"};
    const Commands upToTls{"EHLO [127.0.0.1]", "STARTTLS"};
    const int generous = 10000;

    // Whatever the certificate, the report says what it is and the test goes on.
    const struct
    {
        const char *name;
        Kind kind;
        const char *noteEnd;
        const char *hint = "";
    } certificates[] = {
        {"trusted certificate", Kind::Signed, ": trusted for 127.0.0.1."},
        {"self-signed certificate: reported, the test goes on", Kind::SelfSigned,
         ". Certificate NOT trusted: self-signed."},
        {"expired certificate", Kind::Expired, ". Certificate NOT trusted: expired."},
        {"certificate for another name", Kind::OtherName,
         ". Certificate NOT trusted: issued for another name than 127.0.0.1.",
         "C:Hint: type the name the certificate is issued for, other.example, as the server: then "
         "the certificate can be checked against the name."},
    };
    for (const auto &certificate : certificates) {
        QTest::addRow("%s", certificate.name)
            << offer + Script{S::SayThenTls("220 2.0.0 Ready to start TLS\r\n")} + inside
            << int(certificate.kind) << generous << whole << Sent
            << QString::fromLatin1(certificate.noteEnd) << QString::fromLatin1(certificate.hint);
    }
    // Servers as Debian installs them, which offer AUTH only after STARTTLS.
    for (const TlsOnlyServer &tlsOnly : TlsOnlyServers) {
        QTest::addRow("%s", tlsOnly.name)
            << LoginInsideTls(tlsOnly) << int(Kind::Signed) << generous << whole << Sent
            << QStringLiteral(": trusted for 127.0.0.1.") << QString();
    }
    QTest::newRow("STARTTLS refused")
        << offer + Script{S::Say("454 4.7.0 TLS not available due to local problem\r\n")}
        << int(Kind::Signed) << generous << upToTls << Failed
        << QStringLiteral("C:The server refused STARTTLS (454).") << QString();
    QTest::newRow("replies injected after the 220")
        << offer + Script{S::SayThenTls("220 2.0.0 Ready\r\n250 injected\r\n235 2.7.0 ok\r\n")}
        << int(Kind::Signed) << generous << upToTls << Failed
        << QStringLiteral("C:The server sent more before the TLS handshake than its 220 to "
                          "STARTTLS: Vormant trusts nothing sent unencrypted and stopped.")
        << QString();
    // A failed handshake says why; `failed (` is followed by the reason.
    const QString failed =
        QStringLiteral("C:The TLS handshake with 127.0.0.1 port {port} failed (");
    const struct
    {
        const char *name;
        Tls tls;
        Kind kind;
        const char *reason; // the whole reason, or its start when the library's text follows
        const char *hint = "";
    } failures[] = {
        {"garbage instead of a handshake", Tls::Garbage, Kind::Signed,
         "Error during SSL handshake: "},
        {"close in the middle of the handshake", Tls::CloseMidway, Kind::Signed,
         "the server closed the connection in the middle of the handshake)."},
        {"TLS 1.0 only", Tls::V1_0Only, Kind::Signed,
         "the server sent the fatal TLS alert 70, protocol version: no TLS version both sides "
         "support).",
         "C:Hint: probably the server offers only TLS versions or ciphers that this computer no "
         "longer accepts (TLS 1.0 or 1.1): ask the server's administrator to enable TLS 1.2 or "
         "later."},
        {"alert 80 at once", Tls::AlertAtOnce, Kind::SelfSigned,
         "the server sent the fatal TLS alert 80, internal error)."},
        // The library's own text is empty here: the certificate's fault and the
        // alert together leave it nothing to say.
        {"alert 80 after the ServerHello and Certificate", Tls::AlertAfterHello, Kind::SelfSigned,
         "the server sent the fatal TLS alert 80, internal error)."},
    };
    for (const auto &failure : failures) {
        QTest::addRow("%s", failure.name)
            << offer + Script{S::SayThenTls("220 2.0.0 Ready\r\n", failure.tls)}
            << int(failure.kind) << generous << upToTls << Failed
            << failed + QString::fromLatin1(failure.reason) << QString::fromLatin1(failure.hint);
    }
    QTest::newRow("handshake that never finishes")
        << offer + Script{S::SayThenTls("220 2.0.0 Ready\r\n", Tls::Stall)} << int(Kind::Signed)
        << 700 << upToTls << Failed
        << QStringLiteral("C:The TLS handshake did not finish within 700 ms.") << QString();
}

void tst_Dialogue::startTls()
{
    QFETCH(Script, script);
    QFETCH(int, certificate);
    QFETCH(int, replyTimeoutMs);
    QFETCH(Commands, commands);
    QFETCH(QStringList, boxes);
    QFETCH(QString, note);
    QFETCH(QString, hint);

    const ReplyTimeouts timeouts(replyTimeoutMs);
    const auto kind = TestCertificates::Kind(certificate);
    ScriptedServer server(script);
    server.setTls(m_certificates->certificate(kind), m_certificates->key(kind));
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), QStringLiteral("user"),
             QStringLiteral("secret"), server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd(30000));

    QCOMPARE(run.boxTexts(), boxes);
    QCOMPARE(server.commands(), commands);
    QVERIFY(run.windowUnlocked());
    // The password, in any form, never crossed the loopback in clear.
    QVERIFY(!server.rawReceived().contains("c2VjcmV0"));
    QVERIFY(!server.rawReceived().contains("secret"));

    const QStringList log = run.logLines();
    const bool found = std::any_of(log.cbegin(), log.cend(), [&note](const QString &line) {
        return note.startsWith(QStringLiteral("C:"))
                   ? line.startsWith(note)
                   : line.startsWith(QStringLiteral("C:Encrypted with TLS 1.3 (")) &&
                         line.endsWith(note);
    });
    QVERIFY2(found, qPrintable(log.join(u'\n')));
    // No note leaves its reason out.
    for (const QString &line : log) {
        QVERIFY2(!line.contains(QStringLiteral("()")) && !line.contains(QStringLiteral(": )")),
                 qPrintable(line));
    }
    // A failed run ends with its hint, or with no hint at all.
    if (boxes == Failed)
        QCOMPARE(log.last().startsWith(QStringLiteral("C:Hint: ")) ? log.last() : QString(), hint);
    // A certificate is reported once, right after the handshake, before EHLO goes again.
    if (boxes == Sent) {
        const auto isReport = [](const QString &line) {
            return line.startsWith(QStringLiteral("C:Encrypted with "));
        };
        QCOMPARE(std::count_if(log.cbegin(), log.cend(), isReport), 1);
        const qsizetype encrypted = std::find_if(log.cbegin(), log.cend(), isReport) - log.cbegin();
        QVERIFY(log.at(encrypted - 2).startsWith(QStringLiteral("Y:220 ")));
        QCOMPARE(log.at(encrypted - 1), QString());
        // The hint the report calls for comes right after it.
        const qsizetype next = hint.isEmpty() ? encrypted + 1 : encrypted + 2;
        if (!hint.isEmpty())
            QCOMPARE(log.at(encrypted + 1), hint);
        QCOMPARE(log.at(next), QStringLiteral("W:EHLO [127.0.0.1]"));
        QVERIFY(!log.contains(DialogueHelpers::PlainLoginNote));
        // Every line the server sent, plain or encrypted, is in the log in yellow.
        QStringList yellow;
        std::copy_if(log.cbegin(), log.cend(), std::back_inserter(yellow),
                     [](const QString &line) { return line.startsWith(QStringLiteral("Y:")); });
        QCOMPARE(yellow, ReplyLines(script));
    }
}

QTEST_MAIN(tst_Dialogue)
#include "tst_dialogue.moc"
