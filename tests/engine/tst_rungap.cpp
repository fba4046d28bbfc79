#include "support/EngineRun.h"
#include "support/ScriptedServer.h"

#include <QtTest>

// Test is enabled again by the reply to QUIT, before the monitor's tick has
// ended the run: a click then starts nothing.
class tst_RunGap : public QObject
{
    Q_OBJECT
private slots:
    void clickBeforeTheRunHasEnded();
};

void tst_RunGap::clickBeforeTheRunHasEnded()
{
    ScriptedServer server(ScriptedServer::AcceptingScript(false));
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), {}, {}, server.address());
    run.clickTest();
    QVERIFY(run.window().tmrEmail->isActive());
    QVERIFY(run.window().cmdTest->isEnabled());

    run.clickTest();
    QVERIFY(run.waitForRunEnd());
    QTest::qWait(300);

    QCOMPARE(server.connections(), 1);
    QCOMPARE(run.boxTexts(), QStringList{QStringLiteral("Email Sent")});
    QVERIFY(run.windowUnlocked());
}

QTEST_MAIN(tst_RunGap)
#include "tst_rungap.moc"
