#include "support/EngineRun.h"
#include "support/Expectations.h"
#include "support/ReplyTimeouts.h"
#include "support/ScriptedServer.h"
#include "support/Transcripts.h"

#include "engine/modQuendel_EmailClient.h"

#include <QtTest>

using Expect::Failed;
using Expect::FullDialogue;
using Expect::Sent;

// The message and its envelope in a whole run against a scripted server:
// what goes on the wire, what the log shows and which boxes appear.
class tst_Dialogue : public QObject
{
    Q_OBJECT
private slots:
    void wholeWireOfARun();
    void bodyOnTheWire_data();
    void bodyOnTheWire();
    void recipients_data();
    void recipients();
    void strictServers_data();
    void strictServers();
    void textGoesOutAsUtf8_data();
    void textGoesOutAsUtf8();
    void serverGivenAsIpv6Address();

private:
    // A dialogue that goes astray waits for a reply the script never sends:
    // ten seconds make that a quick failure rather than a slow one.
    const ReplyTimeouts m_timeouts{10000, modQuendel_EmailClient::DataReplyTimeoutMs};
};

void tst_Dialogue::wholeWireOfARun()
{
    ScriptedServer server(ScriptedServer::AcceptingScript(true));
    EngineRun run;
    // The clock stops just before midnight: the stamp and the Date header both
    // name that moment, not a time of the next day.
    const QDateTime moment(QDate(2026, 1, 1), QTime(23, 59, 59, 999));
    run.services().stopClock(moment);
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), QStringLiteral("user"),
             QStringLiteral("secret"), server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());

    const QString stamp = Expect::DateTimeIn(server.received());
    QCOMPARE(stamp, DateText(moment.date()) + u'-' + TimeText(moment.time()));
    QVERIFY(server.received().contains("\r\nDate: " + DateHeaderText(moment).toLatin1() + "\r\n"));
    const QByteArray wire =
        "EHLO [127.0.0.1]\r\nAUTH LOGIN\r\ndXNlcg==\r\nc2VjcmV0\r\nMAIL FROM:<>\r\n"
        "RCPT TO:<bob@example.com>\r\nDATA\r\n" +
        Expect::MessageData(QStringLiteral("bob@example.com"), stamp, "Hello") + "QUIT\r\n";
    QCOMPARE(MessageShape::Masked(server.received()), wire);

    QCOMPARE(run.logLines(), Expect::AcceptingLogWithAuth());
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

    const QString stamp = Expect::DateTimeIn(server.data());
    QVERIFY(!stamp.isEmpty());
    const QString bob = QStringLiteral("bob@example.com");
    QCOMPARE(MessageShape::Masked(server.data()),
             MessageShape::Expected(MessageShape::ToHeader(bob), MessageShape::Admin,
                                    stamp.toUtf8(), wireBody, encoding));
    QCOMPARE(server.commands(), FullDialogue); // nothing of the body became a command
    QCOMPARE(run.logLines(), Expect::AcceptingLogWithoutAuth()); // the body is not logged
    QCOMPARE(run.boxTexts(), Sent);
    QCOMPARE(run.boxes().first().style, 0);
    QCOMPARE(run.boxes().first().title, QStringLiteral("Vormant"));
    QVERIFY(run.windowUnlocked());
}

void tst_Dialogue::recipients_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QByteArray>("toHeader");
    QTest::addColumn<QString>("rcpt");

    QTest::newRow("address") << QStringLiteral("bob@example.com")
                             << QByteArray("bob <bob@example.com>")
                             << QStringLiteral("bob@example.com");
    QTest::newRow("no @") << QStringLiteral("postmaster") << QByteArray("postmaster <postmaster>")
                          << QStringLiteral("postmaster");
    QTest::newRow("two @") << QStringLiteral("first.last@relay@example.com")
                           << QByteArray("\"first.last\" <first.last@relay@example.com>")
                           << QStringLiteral("first.last@relay@example.com");
    QTest::newRow("blanks around")
        << QStringLiteral(" bob@example.com ") << QByteArray("bob <bob@example.com>")
        << QStringLiteral("bob@example.com");
    // A display name that is not one atom is quoted (RFC 5322 3.2.5).
    QTest::newRow("dot in the local part") << QStringLiteral("first.last@example.org")
                                           << QByteArray("\"first.last\" <first.last@example.org>")
                                           << QStringLiteral("first.last@example.org");
    QTest::newRow("quote and backslash in the local part")
        << QStringLiteral("a\"b\\c@example.org")
        << QByteArray("\"a\\\"b\\\\c\" <a\"b\\c@example.org>")
        << QStringLiteral("a\"b\\c@example.org");
    QTest::newRow("atom characters in the local part")
        << QStringLiteral("o'neil+tag@example.org")
        << QByteArray("o'neil+tag <o'neil+tag@example.org>")
        << QStringLiteral("o'neil+tag@example.org");
    // A domain in Unicode goes out in its ASCII form everywhere.
    QTest::newRow("international domain") << QStringLiteral("bob@b\u00FCcher.example")
                                          << QByteArray("bob <bob@xn--bcher-kva.example>")
                                          << QStringLiteral("bob@xn--bcher-kva.example");
}

void tst_Dialogue::recipients()
{
    QFETCH(QString, email);
    QFETCH(QByteArray, toHeader);
    QFETCH(QString, rcpt);

    ScriptedServer server(ScriptedServer::AcceptingScript(false));
    EngineRun run;
    run.fill(QStringLiteral("Hello"), email, {}, {}, server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());

    QCOMPARE(server.commands(), (Commands{"HELO [127.0.0.1]", "MAIL FROM:<>",
                                          "RCPT TO:<" + rcpt.toUtf8() + ">", "DATA", "QUIT"}));
    const QString stamp = Expect::DateTimeIn(server.data());
    QCOMPARE(MessageShape::Masked(server.data()),
             MessageShape::Expected(toHeader, MessageShape::Admin, stamp.toUtf8(), "Hello"));
    QVERIFY(run.logLines().contains(QStringLiteral("W:RCPT TO:<") + rcpt + u'>'));
    QCOMPARE(run.boxTexts(), Sent);
}

namespace {
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

QByteArray StrictReply(const ServerTranscript &server, StrictSession &session,
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
        if (!senderOk && !server.replies.contains("sender-at-rcpt"))
            return server.reply("bad-sender");
        return "250 2.1.0 Ok\r\n";
    }
    if (command.startsWith("RCPT TO:")) {
        if (!senderOk)
            return server.reply("bad-sender");
        if (server.replies.contains("bad-helo") && !IsQualifiedHelo(session.heloArgument))
            return server.reply("bad-helo");
        return IsMailbox(command.mid(8)) ? QByteArray("250 2.1.5 Ok\r\n")
                                         : server.reply("bad-recipient");
    }
    if (command == "DATA")
        return "354 go ahead\r\n";
    if (command == ".") {
        if (server.replies.contains("bad-header") && !FromHasDomain(session.server->data()))
            return server.reply("bad-header");
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

Script StrictScript(const ServerTranscript &server, const std::shared_ptr<StrictSession> &session)
{
    Script script{ScriptedServer::Say(server.reply("greeting"))};
    for (int i = 0; i < 12; ++i)
        script << ScriptedServer::Answer([server, session](const QByteArray &command) {
            return StrictReply(server, *session, command);
        });
    return script;
}
} // namespace

Q_DECLARE_METATYPE(ServerTranscript)

// Servers that refuse what RFC 5321 does not allow, with the replies they
// really give: the envelope must satisfy every one of them.
void tst_Dialogue::strictServers_data()
{
    QTest::addColumn<ServerTranscript>("server");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("pass");
    QTest::addColumn<QByteArray>("mailFrom");

    const QList<ServerTranscript> servers =
        ReadTranscripts(QStringLiteral(VORMANT_TRANSCRIPTS_DIR "/strict-servers.txt"));
    for (const ServerTranscript &server : servers) {
        const QByteArray name = server.name.toUtf8();
        QTest::addRow("%s", name.constData())
            << server << QString() << QString() << QByteArray("<>");
        // A server that judges more than the envelope, also with a login.
        if (!server.replies.contains("bad-helo") && !server.replies.contains("bad-header"))
            continue;
        QTest::addRow("%s, login", name.constData()) << server << "alice"
                                                     << "secret" << QByteArray("<>");
        QTest::addRow("%s, login address", name.constData())
            << server << "alice@example.org"
            << "secret" << QByteArray("<alice@example.org>");
    }

    // The sender: the login name when it is a mail address, else the null path.
    const ServerTranscript &exim = servers.first();
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
    QFETCH(ServerTranscript, server);
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
    const QString unoffered = Expect::Note(Notes::Id::SmtpUtf8NotOffered);
    QTest::newRow("SMTPUTF8 offered")
        << QByteArray("250-mx.test\r\n250-8BITMIME\r\n250 SMTPUTF8\r\n")
        << Commands{ehlo, "MAIL FROM:<> SMTPUTF8", "RCPT TO:<j\xC3\xB6rg@xn--bcher-kva.example>",
                    "DATA", "QUIT"}
        << Sent << Expect::TookNote;
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
    Script played = Expect::InPieces(script, 1, 1);
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
    const QString stamp = Expect::DateTimeIn(server.data());
    QCOMPARE(MessageShape::Masked(server.data()),
             MessageShape::Expected("j\xC3\xB6rg <j\xC3\xB6rg@xn--bcher-kva.example>",
                                    MessageShape::Admin, stamp.toUtf8(), "Gr=C3=BC=C3=9Fe",
                                    "quoted-printable"));
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

QTEST_MAIN(tst_Dialogue)
#include "tst_dialogue.moc"
