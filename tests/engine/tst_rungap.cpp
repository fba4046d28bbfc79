#include "support/EngineRun.h"
#include "support/Expectations.h"
#include "support/ScriptedServer.h"

#include "engine/ReplyDeadline.h"
#include "engine/modQuendel_EmailClient.h"

#include <functional>

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
    void aRunStartsFromNothing_data();
    void aRunStartsFromNothing();
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
        runOnAtSecondClick = run.runOn();
        run.clickTest();
        server.release();
    });

    run.clickTest(); // returns once the reply to QUIT has ended the dialogue
    QVERIFY(runOnAtSecondClick);
    QVERIFY(run.headless().TestEnabled());
    QVERIFY(run.waitForRunEnd());
    QTest::qWait(300);

    QCOMPARE(server.connections(), 1);
    QCOMPARE(run.boxTexts(), Expect::Sent);
    QVERIFY(run.windowUnlocked());
}

namespace Engine = modQuendel_EmailClient;
using LeftOver = std::function<void(Engine::RunState &)>;

void tst_RunGap::aRunStartsFromNothing_data()
{
    QTest::addColumn<LeftOver>("leftOver");
    QTest::newRow("a verdict box taken for open")
        << LeftOver([](Engine::RunState &run) { run.MonitorBoxOpen = true; });
    QTest::newRow("the last run's counts, step and reply") << LeftOver([](Engine::RunState &run) {
        run.SentCount = 1;
        run.ErrorCount = 2;
        run.SmtpStep = Engine::Step::QuitSent;
        run.SlotEnded[1] = true;
        run.Slot.Reply.Append(QStringLiteral("250 stale"));
        run.Slot.LastCommand = Engine::Command::Data;
    });
    QTest::newRow("the last run's reply deadline running")
        << LeftOver([](Engine::RunState &) { StartReplyDeadline(60000); });
    // The verdict waits for the look-ups of the run's own failure only.
    QTest::newRow("an MX look-up of the last run still awaited")
        << LeftOver([](Engine::RunState &run) {
               run.Lookups.started.emplace_back();
               RunTimer(run.Lookups.deadline, [] {}).start(60000);
           });
}

// Whatever a run before left in the engine's state, the next Test click
// starts a run of its own that ends as any other.
void tst_RunGap::aRunStartsFromNothing()
{
    QFETCH(LeftOver, leftOver);
    ScriptedServer server(ScriptedServer::AcceptingScript(false));
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), {}, {}, server.address());
    leftOver(Engine::Run);

    run.clickTest();
    QVERIFY(run.waitForRunEnd(5000));
    QCOMPARE(run.boxTexts(), Expect::Sent);
    QCOMPARE(Engine::SentCount, 1);
    QVERIFY(run.windowUnlocked());
    // Of the timers on the window, only this run's reply deadline is left.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(run.controls().MonitorTimer().findChildren<QTimer *>().size(), 1);
}

QTEST_MAIN(tst_RunGap)
#include "tst_rungap.moc"
