#include "support/EngineRun.h"
#include "support/Expectations.h"
#include "support/ReplyTimeouts.h"
#include "support/ScriptedServer.h"

#include "engine/modQuendel_EmailClient.h"

#include <QtTest>

using Expect::Base64;
using Expect::Failed;
using Expect::FullDialogue;
using Expect::Hint;
using Expect::Note;
using Expect::Sent;
using Cause = Hints::Cause;
using Id = Notes::Id;

// The greeting and the login of a run: EHLO or HELO, AUTH LOGIN or PLAIN,
// the credentials on the wire and the mask in their place in the log.
class tst_Login : public QObject
{
    Q_OBJECT
private slots:
    void credentials_data();
    void credentials();
    void ehloGreeting_data();
    void ehloGreeting();
    void tokenLogins_data();
    void tokenLogins();

private:
    // A dialogue that goes astray waits for a reply the script never sends:
    // ten seconds make that a quick failure rather than a slow one.
    const ReplyTimeouts m_timeouts{10000, modQuendel_EmailClient::DataReplyTimeoutMs};
};

void tst_Login::credentials_data()
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

void tst_Login::credentials()
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
    const QString logText = run.logText();
    if (!authenticates) {
        QCOMPARE(server.commands(), FullDialogue);
        QCOMPARE(log, Expect::AcceptingLogWithoutAuth());
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
// The hint after the last note of the failing rows of ehloGreeting() whose
// evidence points to a cause.
const QHash<QString, QString> GreetingFailureHint{
    {"AUTH LOGIN refused with 503", Hint(Cause::NoLoginOnThisPort)},
    {"PLAIN refused", Expect::LoginHint},
    {"neither LOGIN nor PLAIN", Hint(Cause::NoCommonMechanism)},
    {"AUTH LOGIN refused with 535", Hint(Cause::NoCommonMechanism)},
};
} // namespace

// A client that logs in greets with EHLO; a server without extensions
// refuses it with 500 or 502, and the client greets with HELO instead.
void tst_Login::ehloGreeting_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<Commands>("commands");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("lastNote");

    using S = ScriptedServer;
    const QString took = Expect::TookNote;
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
        << Note(Id::RefusedLogin, {"535"});
    QTest::newRow("neither LOGIN nor PLAIN")
        << greeting + Script{S::Say("250-scripted\r\n250-AUTH CRAM-MD5 SCRAM-SHA-256\r\n"
                                    "250 HELP\r\n")}
        << Commands{"EHLO [127.0.0.1]", "QUIT"} << Failed
        << Note(Id::NoUsableLogin, {"CRAM-MD5 SCRAM-SHA-256"});
    QTest::newRow("AUTH LOGIN refused with 535")
        << greeting + Script{ehloReply, dovecot}
        << Commands{"EHLO [127.0.0.1]", "AUTH LOGIN", "QUIT"} << Failed
        << Note(Id::RefusedCommand, {"AUTH LOGIN", "535"});
}

void tst_Login::ehloGreeting()
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
    // A failing row ends with its hint, if it has one.
    QStringList end = lastNote.isEmpty() ? QStringList() : QStringList{lastNote};
    if (boxes == Failed) {
        const QString tag = QString::fromUtf8(QTest::currentDataTag());
        if (!GreetingFailureHint.value(tag).isEmpty())
            end << GreetingFailureHint.value(tag);
    }
    QCOMPARE(log.mid(log.size() - end.size()), end);
    // AUTH PLAIN carries the password: the log masks all of it.
    QVERIFY(!run.logText().contains(QStringLiteral("AHVzZXIAc2VjcmV0")));
    if (commands.size() > 1 && commands.at(1).startsWith("AUTH PLAIN"))
        QVERIFY(log.contains(QStringLiteral("W:AUTH PLAIN ********")));
}

namespace {
// A JSON Web Token (header {"alg":"RS256","typ":"JWT"}) and a Google access token.
const QString Jwt = QStringLiteral("eyJhbGciOiJSUzI1NiIsInR5cCI6IkpXVCJ9.eyJzdWIiOiJ1c2VyIn0.c2ln");
const QString GoogleToken = QStringLiteral("ya29.a0AfB_byDq3x-Tk7Vz9Qw2Lm8Np4Rs6Ut1Wv");
} // namespace

// An OAuth 2.0 access token in Pass logs in by a mechanism made for it where
// the EHLO reply offers one (OAUTHBEARER first, RFC 7628); anything else in
// Pass logs in as before. "{oauthbearer}" in a command stands for the Base64
// of the RFC 7628 response for this server's port.
void tst_Login::tokenLogins_data()
{
    QTest::addColumn<QString>("pass");
    QTest::addColumn<Script>("login"); // the server's turns from the EHLO reply to the login's end
    QTest::addColumn<Commands>("commands"); // after EHLO, before MAIL FROM or QUIT
    QTest::addColumn<QStringList>("end");   // the log's last lines

    using S = ScriptedServer;
    const auto ehlo = [](const QByteArray &mechanisms) {
        return S::Say("250-scripted\r\n250-AUTH " + mechanisms + "\r\n250 HELP\r\n");
    };
    const Turn accepted = S::Say("235 2.7.0 Accepted\r\n");
    const QStringList sent{Expect::TookNote};
    const auto base64 = [](const QString &text) { return text.toUtf8().toBase64(); };

    QTest::newRow("OAUTHBEARER before XOAUTH2, a JSON Web Token")
        << Jwt << Script{ehlo("LOGIN PLAIN XOAUTH2 OAUTHBEARER"), accepted}
        << Commands{"AUTH OAUTHBEARER {oauthbearer}"} << sent;
    QTest::newRow("XOAUTH2 only (Microsoft 365), a Google token")
        << GoogleToken << Script{ehlo("LOGIN XOAUTH2"), accepted}
        << Commands{"AUTH XOAUTH2 " + base64("user=user\x01"
                                             "auth=Bearer " +
                                             GoogleToken + "\x01\x01")}
        << sent;
    // The error as RFC 7628 3.2.2 shows it; OAUTHBEARER's answer to it is ^A.
    QTest::newRow("OAUTHBEARER, token refused")
        << Jwt
        << Script{ehlo("OAUTHBEARER"),
                  S::Say("334 " +
                         QByteArray(R"({"status":"invalid_token","scope":"example_scope",)"
                                    R"("openid-configuration":"https://example.com/.well-known/)"
                                    R"(openid-configuration"})")
                             .toBase64() +
                         "\r\n"),
                  S::Say("535 5.7.8 Authentication credentials invalid\r\n")}
        << Commands{"AUTH OAUTHBEARER {oauthbearer}", "AQ==", "QUIT"}
        << QStringList{Note(Id::RefusedTokenSaying,
                            {"535", R"(status "invalid_token", scope "example_scope")"}),
                       Hint(Cause::TokenRefused)};
    // Three parts joined by dots whose first is no JSON header: a password.
    QTest::newRow("a password of three dotted parts")
        << QStringLiteral("john.doe.1985")
        << Script{ehlo("LOGIN XOAUTH2"), S::Say("334 VXNlcm5hbWU6\r\n"),
                  S::Say("334 UGFzc3dvcmQ6\r\n"), accepted}
        << Commands{"AUTH LOGIN", "dXNlcg==", base64(QStringLiteral("john.doe.1985"))} << sent;
    QTest::newRow("a token where no mechanism for it is offered")
        << Jwt << Script{ehlo("PLAIN"), accepted}
        << Commands{"AUTH PLAIN " + base64(QChar(0) + QStringLiteral("user") + QChar(0) + Jwt)}
        << sent;
}

void tst_Login::tokenLogins()
{
    QFETCH(QString, pass);
    QFETCH(Script, login);
    QFETCH(Commands, commands);
    QFETCH(QStringList, end);

    using S = ScriptedServer;
    const bool sends = end == QStringList{Expect::TookNote};
    ScriptedServer server(
        Script{S::Say("220 scripted\r\n")} + login +
        (sends ? Script{S::Say("250 ok\r\n"), S::Say("250 ok\r\n"), S::Say("354 go on\r\n"),
                        S::Say("250 queued\r\n"), S::Say("221 bye\r\n")}
               : Script{}));
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), QStringLiteral("user"),
             pass, server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());

    const QByteArray oauthBearer = QStringLiteral("n,a=user,\x01host=127.0.0.1\x01port=%1\x01"
                                                  "auth=Bearer %2\x01\x01")
                                       .arg(server.port())
                                       .arg(pass)
                                       .toUtf8()
                                       .toBase64();
    for (QByteArray &command : commands)
        command.replace("{oauthbearer}", oauthBearer);
    const Commands mail{"MAIL FROM:<>", "RCPT TO:<bob@example.com>", "DATA", "QUIT"};
    QCOMPARE(server.commands(),
             Commands{"EHLO [127.0.0.1]"} + commands + (sends ? mail : Commands{}));
    QCOMPARE(run.boxTexts(), sends ? Sent : Failed);
    const QStringList log = run.logLines();
    QCOMPARE(log.mid(log.size() - end.size()), end);
    // The login's line is masked, and nothing of the token is in the log.
    const QByteArray auth = commands.first();
    QVERIFY(log.contains(QStringLiteral("W:") +
                         QString::fromLatin1(auth.left(auth.indexOf(' ', 5))) +
                         QStringLiteral(" ********")) ||
            auth == "AUTH LOGIN");
    const QString text = run.logText();
    QVERIFY(!text.contains(pass));
    if (auth.count(' ') == 2)
        QVERIFY(!text.contains(QString::fromLatin1(auth.mid(auth.lastIndexOf(' ') + 1))));
}

QTEST_MAIN(tst_Login)
#include "tst_login.moc"
