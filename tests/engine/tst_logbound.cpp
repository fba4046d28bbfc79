#include "support/EngineRun.h"
#include "support/Expectations.h"
#include "support/ScriptedServer.h"

#include "engine/ReplyFramer.h"

#include <QtTest>

// Whatever a server floods the connection with, the log takes a bounded
// piece of it and the run ends in a verdict.
class tst_LogBound : public QObject
{
    Q_OBJECT
private slots:
    void floodAfterReply_data();
    void floodAfterReply();
};

void tst_LogBound::floodAfterReply_data()
{
    QTest::addColumn<QByteArray>("greeting");
    const QByteArray flood(1024 * 1024, 'x');
    QTest::newRow("flood behind the greeting") << QByteArray("220 hi\r\n" + flood + "\r\n");
    QTest::newRow("flood of lines behind the greeting")
        << QByteArray("220 hi\r\n" + QByteArray(200'000, '\n'));
}

void tst_LogBound::floodAfterReply()
{
    QFETCH(QByteArray, greeting);
    ScriptedServer server({ScriptedServer::Say(greeting)});
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), {}, {}, server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());

    QCOMPARE(run.boxTexts(), Expect::Failed);
    QVERIFY(server.commands().isEmpty());
    QVERIFY(run.logText().size() < 2 * ReplyFramer::MaxReplyLength + 1000);
    QVERIFY(run.windowUnlocked());
}

QTEST_MAIN(tst_LogBound)
#include "tst_logbound.moc"
