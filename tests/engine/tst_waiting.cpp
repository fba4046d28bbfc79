#include "support/EngineRun.h"
#include "support/Expectations.h"
#include "support/ScriptedServer.h"

#include <QElapsedTimer>
#include <QtTest>

#include <ctime>

// While a server takes its time the program waits asleep: the Test click
// stays on the stack, but the processor is free.
class tst_Waiting : public QObject
{
    Q_OBJECT
private slots:
    void slowServerCostsNoProcessor();
};

void tst_Waiting::slowServerCostsNoProcessor()
{
    QList<ScriptedServer::Turn> script = ScriptedServer::AcceptingScript(false);
    script[0].delayMs = 1500; // the greeting
    script[3].delayMs = 1000; // the reply to RCPT TO
    ScriptedServer server(script);
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), {}, {}, server.address());

    QElapsedTimer clock;
    clock.start();
    const std::clock_t cpuBefore = std::clock();
    run.clickTest(); // waits for the whole dialogue
    const double cpu = double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    const double wall = double(clock.nsecsElapsed()) / 1e9;

    QVERIFY(run.waitForRunEnd());
    QCOMPARE(run.boxTexts(), Expect::Sent);
    QVERIFY(wall >= 2.5);
    // A polling wait keeps a processor busy all along; this bound is far
    // above a sleeping one and far below a spinning one.
    QVERIFY2(cpu < wall / 4, qPrintable(QStringLiteral("cpu %1 s of %2 s").arg(cpu).arg(wall)));
}

QTEST_MAIN(tst_Waiting)
#include "tst_waiting.moc"
