#include "support/EngineRun.h"
#include "support/ScriptedServer.h"

#include "engine/modQuendel_EmailClient.h"

#include <QtTest>

using Turn = ScriptedServer::Turn;

// The dialogue of a whole run against a scripted server: what goes on the
// wire, what the log shows and which boxes appear.
class tst_Dialogue : public QObject
{
    Q_OBJECT
private slots:
    void successfulRunWithoutAuth();
    void successfulRunWithAuth();
};

void tst_Dialogue::successfulRunWithoutAuth()
{
    ScriptedServer server(ScriptedServer::AcceptingScript(false));
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), {}, {}, server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());

    QCOMPARE(server.commands(),
             (QList<QByteArray>{"HELO bob", "MAIL FROM:Admin", "RCPT TO:bob@example.com", "DATA",
                                "QUIT"}));
    QVERIFY(server.data().startsWith("From:Vormant <Admin>\r\nTo:bob <bob@example.com>\r\n"
                                     "Subject:Vormant\r\n\r\nTest Message Sent: "));
    QVERIFY(server.data().endsWith("\r\nHello\r\n\r\n.\r\n"));
    const QStringList expected{
        QStringLiteral("W:Connecting to SMTP Server, please wait .."),
        QStringLiteral("Y:220 scripted ESMTP"), QString(),
        QStringLiteral("W:HELO bob"),
        QStringLiteral("Y:250 scripted"), QString(),
        QStringLiteral("W:MAIL FROM:Admin"),
        QStringLiteral("Y:250 2.1.0 Ok"), QString(),
        QStringLiteral("W:RCPT TO:bob@example.com"),
        QStringLiteral("Y:250 2.1.5 Ok"), QString(),
        QStringLiteral("W:DATA"),
        QStringLiteral("Y:354 End data with <CR><LF>.<CR><LF>"), QString(),
        QStringLiteral("W:Subject: Vormant"),
        QStringLiteral("W:."),
        QStringLiteral("Y:250 2.0.0 Ok: queued"), QString(),
        QStringLiteral("W:QUIT"),
        QStringLiteral("Y:221 2.0.0 Bye"), QString(),
    };
    QCOMPARE(run.logLines(), expected);
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
             (QList<QByteArray>{"HELO bob", "AUTH LOGIN", "dXNlcg==", "c2VjcmV0"}));
    const QStringList log = run.logLines();
    QVERIFY(log.contains(QStringLiteral("W:dXNlcg==")));
    QVERIFY(log.contains(QStringLiteral("W:********")));
    QVERIFY(!run.window().rtbStatus->Text().contains(QStringLiteral("c2VjcmV0")));
    QCOMPARE(run.boxTexts(), QStringList{QStringLiteral("Email Sent")});
}

QTEST_MAIN(tst_Dialogue)
#include "tst_dialogue.moc"
