#include "support/EngineRun.h"
#include "support/ScriptedServer.h"

#include <QtTest>

// A click before the monitor's tick has ended the run starts nothing. The
// reply to QUIT enables Test up to one tick before that; the server holds
// the reply until the second click, so that the click falls into the run
// for certain.
class tst_RunGap : public QObject
{
    Q_OBJECT
private slots:
    void clickBeforeTheRunHasEnded();
};

void tst_RunGap::clickBeforeTheRunHasEnded()
{
    QList<ScriptedServer::Turn> script = ScriptedServer::AcceptingScript(false);
    script.last().held = true; // the reply to QUIT waits for the second click
    ScriptedServer server(script);
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), {}, {}, server.address());
    bool runOnAtSecondClick = false;
    connect(&server, &ScriptedServer::holding, this, [&] {
        runOnAtSecondClick = run.window().tmrEmail->isActive();
        run.clickTest();
        server.release();
    });

    run.clickTest(); // returns once the reply to QUIT has ended the dialogue
    QVERIFY(runOnAtSecondClick);
    QVERIFY(run.window().cmdTest->isEnabled());
    QVERIFY(run.waitForRunEnd());
    QTest::qWait(300);

    QCOMPARE(server.connections(), 1);
    QCOMPARE(run.boxTexts(), QStringList{QStringLiteral("Email Sent")});
    QVERIFY(run.windowUnlocked());
}

QTEST_MAIN(tst_RunGap)
#include "tst_rungap.moc"
