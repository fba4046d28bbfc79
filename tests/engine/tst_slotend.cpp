#include "support/EngineRun.h"
#include "support/Expectations.h"
#include "support/ReplyTimeouts.h"
#include "support/ScriptedServer.h"

#include "app/Module1.h"
#include "engine/modQuendel_EmailClient.h"
#include "util/Colors.h"

#include <QElapsedTimer>
#include <QtTest>

using Expect::Failed;
using Expect::FullDialogue;
using Expect::Hint;
using Expect::Note;
using Expect::Sent;
using Cause = Hints::Cause;
using Id = Notes::Id;

using namespace modQuendel_EmailClient;

namespace {
// The stock dialogue with the turn at position `at` replaced.
Script Accepting(qsizetype at, const Turn &turn)
{
    Script script = ScriptedServer::AcceptingScript(false);
    script[at] = turn;
    return script;
}

Script AcceptingWithAuth(qsizetype at, const Turn &turn)
{
    Script script = ScriptedServer::AcceptingScript(true);
    script[at] = turn;
    return script;
}

// The hint that ends the log of the failing rows of endings() whose evidence
// points to a cause; the log of every other failing row ends with its note.
const QHash<QString, QString> FailureHint{
    {"greeting 554", Expect::PolicyHint},
    {"AUTH LOGIN refused with 504", Expect::NoAuthHint},
    {"user refused", Expect::LoginHint},
    {"password refused", Expect::LoginHint},
    {"recipient refused", Hint(Cause::RelayOrUnknownRecipient)},
    {"message refused", Hint(Cause::MessageTooLarge)},
    {"slow greeting that refuses the session", Expect::PolicyHint},
};
} // namespace

// How a slot ends: every way a dialogue can end gives exactly one verdict,
// the right boxes, and a window ready for the next run.
class tst_SlotEnd : public QObject
{
    Q_OBJECT
private slots:
    void limitsFollowRfc5321();
    void endings_data();
    void endings();
    void dataReplyHasTheLongerLimit();
    void connectFailure();
    void boxOpenHoldsBackTicks_data();
    void boxOpenHoldsBackTicks();
    void secondRun_data();
    void secondRun();
};

void tst_SlotEnd::limitsFollowRfc5321()
{
    // Section 4.5.3.2: five minutes for a reply, ten for the reply to ".".
    QCOMPARE(ReplyTimeoutMs, 5 * 60 * 1000);
    QCOMPARE(DataReplyTimeoutMs, 10 * 60 * 1000);
}

void tst_SlotEnd::endings_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<bool>("withAuth");
    QTest::addColumn<int>("replyTimeoutMs");     // 0: left as it is
    QTest::addColumn<int>("dataReplyTimeoutMs"); // 0: left as it is
    QTest::addColumn<Commands>("commands");
    QTest::addColumn<QStringList>("lastLogLines");
    QTest::addColumn<QStringList>("boxes");

    using S = ScriptedServer;
    const Commands authDialogue{"EHLO [127.0.0.1]", "AUTH LOGIN", "dXNlcg==", "c2VjcmV0"};

    // Refusals, step by step; after each the client still says QUIT.
    const Commands quit{"QUIT"};
    QTest::newRow("greeting 554") << Script{S::Say("554 no service\r\n")} << false << 0 << 0 << quit
                                  << QStringList{"Y:554 no service", "", "W:QUIT",
                                                 Note(Id::RefusedGreeting, {"554"})}
                                  << Failed;
    QTest::newRow("HELO refused") << Accepting(1, S::Say("501 bad name\r\n")) << false << 0 << 0
                                  << Commands{"HELO [127.0.0.1]"} + quit
                                  << QStringList{"Y:501 bad name", "", "W:QUIT",
                                                 Note(Id::RefusedCommand, {"HELO", "501"})}
                                  << Failed;
    QTest::newRow("AUTH LOGIN refused with 504")
        << AcceptingWithAuth(2, S::Say("504 no such mechanism\r\n")) << true << 0 << 0
        << authDialogue.mid(0, 2) + quit
        << QStringList{"Y:504 no such mechanism", "", "W:QUIT",
                       Note(Id::RefusedCommand, {"AUTH LOGIN", "504"})}
        << Failed;
    QTest::newRow("user refused") << AcceptingWithAuth(3, S::Say("535 no\r\n")) << true << 0 << 0
                                  << authDialogue.mid(0, 3) + quit
                                  << QStringList{"Y:535 no", "", "W:QUIT",
                                                 Note(Id::RefusedLogin, {"535"})}
                                  << Failed;
    QTest::newRow("password refused")
        << AcceptingWithAuth(4, S::Say("535 5.7.8 invalid\r\n")) << true << 0 << 0
        << authDialogue + quit << QStringList{"W:********",
                                              Expect::PlainLoginNote,
                                              Expect::PlainLoginHint,
                                              "Y:535 5.7.8 invalid",
                                              "",
                                              "W:QUIT",
                                              Note(Id::RefusedLogin, {"535"})}
        << Failed;
    QTest::newRow("sender refused")
        << Accepting(2, S::Say("550 no\r\n")) << false << 0 << 0 << FullDialogue.mid(0, 2) + quit
        << QStringList{"Y:550 no", "", "W:QUIT", Note(Id::RefusedCommand, {"MAIL FROM", "550"})}
        << Failed;
    QTest::newRow("recipient refused")
        << Accepting(3, S::Say("550 unknown\r\n")) << false << 0 << 0
        << FullDialogue.mid(0, 3) + quit
        << QStringList{"Y:550 unknown", "", "W:QUIT", Note(Id::RefusedCommand, {"RCPT TO", "550"})}
        << Failed;
    QTest::newRow("DATA refused") << Accepting(4, S::Say("554 no data\r\n")) << false << 0 << 0
                                  << FullDialogue.mid(0, 4) + quit
                                  << QStringList{"Y:554 no data", "", "W:QUIT",
                                                 Note(Id::RefusedCommand, {"DATA", "554"})}
                                  << Failed;
    QTest::newRow("message refused")
        << Accepting(5, S::Say("552 too big\r\n")) << false << 0 << 0
        << FullDialogue.mid(0, 4) + quit
        << QStringList{"W:.", "Y:552 too big", "", "W:QUIT",
                       Note(Id::RefusedCommand, {"the message", "552"})}
        << Failed;
    // A server that closes with 421 is not asked for anything more.
    QTest::newRow("421 to RCPT") << Accepting(3, S::Say("421 4.3.2 shutting down\r\n")) << false
                                 << 0 << 0 << FullDialogue.mid(0, 3)
                                 << QStringList{"Y:421 4.3.2 shutting down", "",
                                                Note(Id::RefusedCommand, {"RCPT TO", "421"})}
                                 << Failed;
    QTest::newRow("reply of two characters")
        << Accepting(1, S::Say("25\r\n")) << false << 0 << 0 << Commands{"HELO [127.0.0.1]"}
        << QStringList{"Y:25", "", Note(Id::ReplyNotSmtp, {"HELO"})} << Failed;

    // The server hangs up before the dialogue has ended (the hostile-server
    // table has a close after each command). Having hung up, it reads nothing
    // more: the command answering its last reply is not counted.
    QTest::newRow("accepted code, then close")
        << Accepting(3, S::SayThenClose("250 ok\r\n")) << false << 0 << 0 << FullDialogue.mid(0, 3)
        << QStringList{"Y:250 ok", "", "W:DATA", Note(Id::ClosedAfter, {"DATA"})} << Failed;

    // Once QUIT is out, every end of the connection ends the slot as sent
    // (the hostile-server table has each other end after QUIT).
    QTest::newRow("QUIT answered 500")
        << Accepting(6, S::Say("500 what\r\n")) << false << 0 << 0 << FullDialogue
        << QStringList{"W:QUIT", "Y:500 what", "", Expect::TookNote} << Sent;

    // No wait is without limit.
    QTest::newRow("reply to the password never comes")
        << AcceptingWithAuth(4, S::Silence()) << true << 300 << 0 << authDialogue
        << QStringList{"W:********", Expect::PlainLoginNote, Expect::PlainLoginHint,
                       Note(Id::NoReply, {"the password", "300 ms"})}
        << Failed;
    QTest::newRow("reply to the data never comes")
        << Accepting(5, S::Silence()) << false << 0 << 300 << FullDialogue.mid(0, 4)
        << QStringList{"W:Subject: Vormant", "W:.", Note(Id::NoReply, {"the message", "300 ms"})}
        << Failed;
    // A slow step gets a note with its time, and the hint of what makes it slow.
    Turn slowGreeting = S::Say("554 5.7.1 Service unavailable; client [127.0.0.1] blocked\r\n");
    slowGreeting.delayMs = 1200;
    QTest::newRow("slow greeting that refuses the session")
        << Script{slowGreeting} << false << 0 << 0 << quit
        << QStringList{"Y:554 5.7.1 Service unavailable; client [127.0.0.1] blocked",
                       "",
                       Note(Id::GreetingTook, {"#"}),
                       Hint(Cause::SlowGreeting),
                       "W:QUIT",
                       Note(Id::RefusedGreeting, {"554"})}
        << Failed;
    // A reply that trickles in does not buy itself more time.
    QTest::newRow("greeting trickles in slower than the limit")
        << Script{S::SayInPieces("220 " + QByteArray(60, 'z') + "\r\n", 1, 40)} << false << 500 << 0
        << Commands{} << QStringList{Note(Id::NoGreeting, {"500 ms"})} << Failed;
}

void tst_SlotEnd::endings()
{
    QFETCH(Script, script);
    QFETCH(bool, withAuth);
    QFETCH(int, replyTimeoutMs);
    QFETCH(int, dataReplyTimeoutMs);
    QFETCH(Commands, commands);
    QFETCH(QStringList, lastLogLines);
    QFETCH(QStringList, boxes);
    // A failing run ends with its hint, if it has one.
    if (boxes == Failed) {
        const QString tag = QString::fromUtf8(QTest::currentDataTag());
        if (!FailureHint.value(tag).isEmpty())
            lastLogLines << FailureHint.value(tag);
    }

    // Where no time-out is meant to end the slot, the limits are a minute:
    // a slot that ends only by its time-out then shows in the time it took.
    const ReplyTimeouts timeouts(replyTimeoutMs > 0 ? replyTimeoutMs : 60000,
                                 dataReplyTimeoutMs > 0 ? dataReplyTimeoutMs : 60000);

    ScriptedServer server(script);
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"),
             withAuth ? QStringLiteral("user") : QString(),
             withAuth ? QStringLiteral("secret") : QString(), server.address());
    QElapsedTimer clock;
    clock.start();
    run.clickTest(); // returns once the slot has ended
    QVERIFY(StepDone);
    QVERIFY2(clock.elapsed() < 30000, "the slot waited for a time-out that was not its end");
    QVERIFY(run.waitForRunEnd());

    QCOMPARE(server.commands(), commands);
    const QStringList log = run.logLines();
    QVERIFY2(log.size() > lastLogLines.size(), qPrintable(log.join(u'|')));
    QCOMPARE(log.first(), QStringLiteral("W:Connecting to SMTP Server, please wait .."));
    QCOMPARE(log.mid(log.size() - lastLogLines.size()), lastLogLines);
    QCOMPARE(run.boxTexts(), boxes);
    QCOMPARE(run.boxes().first().style, 0);
    QCOMPARE(run.boxes().first().title, QStringLiteral("Vormant"));
    QVERIFY(run.windowUnlocked());
    QCOMPARE(SentCount + ErrorCount, 1);
    QVERIFY(!run.sockets().Exists(1)); // the run's socket is gone
    QTRY_VERIFY(server.peerClosed() || server.connections() == 0);
}

void tst_SlotEnd::dataReplyHasTheLongerLimit()
{
    // Every other reply has 300 ms, the reply to "." comes after more than a second.
    const ReplyTimeouts timeouts(300, 60000);
    Turn late = ScriptedServer::Say("250 queued at last\r\n");
    late.delayMs = 1200;
    ScriptedServer server(Accepting(5, late));
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), {}, {}, server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());

    QCOMPARE(server.commands(), FullDialogue);
    // A successful run, too, notes a slow step.
    const QStringList log = run.logLines();
    const qsizetype queued = log.indexOf(QStringLiteral("Y:250 queued at last"));
    QVERIFY2(queued > 0, qPrintable(log.join(u'|')));
    QCOMPARE(log.mid(queued + 1, 3),
             (QStringList{"", Note(Id::ReplyTook, {"the message", "#"}), Hint(Cause::SlowFilter)}));
    QCOMPARE(run.boxTexts(), Sent);
}

void tst_SlotEnd::connectFailure()
{
    // The Test click lets no such server through; the engine on its own must
    // still end the run when it cannot start the connection.
    EngineRun run;
    run.controls().SetTestEnabled(false);
    StartRun({QStringLiteral("Hello"),
              QStringLiteral("bob@example.com"),
              {},
              {},
              QStringLiteral("[::1")});

    QVERIFY(!run.runOn());
    QCOMPARE(run.boxTexts(), Failed);
    QVERIFY(run.windowUnlocked());
    QVERIFY(!run.sockets().Exists(1));
    QCOMPARE(ErrorCount, 1);
}

void tst_SlotEnd::boxOpenHoldsBackTicks_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("success") << ScriptedServer::AcceptingScript(false) << Sent;
    QTest::newRow("failure") << Accepting(2, ScriptedServer::Say("550 no\r\n")) << Failed;
}

void tst_SlotEnd::boxOpenHoldsBackTicks()
{
    QFETCH(Script, script);
    QFETCH(QStringList, boxes);

    ScriptedServer server(script);
    EngineRun run;
    run.holdBoxesOpen(800); // eight ticks fall due while the box is open
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), {}, {}, server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());
    QTest::qWait(300); // no late tick adds anything
    QCOMPARE(run.boxTexts(), boxes);
}

void tst_SlotEnd::secondRun_data()
{
    QTest::addColumn<Script>("first");
    QTest::addColumn<QStringList>("firstBoxes");
    QTest::addColumn<Script>("second");
    QTest::addColumn<QStringList>("secondBoxes");

    const Script good = ScriptedServer::AcceptingScript(false);
    const Script refused = Accepting(3, ScriptedServer::Say("550 unknown\r\n"));
    const Script closed = Accepting(2, ScriptedServer::SayThenClose(""));
    QTest::newRow("success, then failure") << good << Sent << refused << Failed;
    QTest::newRow("failure, then success") << refused << Failed << good << Sent;
    QTest::newRow("close, then success") << closed << Failed << good << Sent;
    QTest::newRow("success, then success") << good << Sent << good << Sent;
    QTest::newRow("failure, then failure") << refused << Failed << refused << Failed;
}

void tst_SlotEnd::secondRun()
{
    QFETCH(Script, first);
    QFETCH(QStringList, firstBoxes);
    QFETCH(Script, second);
    QFETCH(QStringList, secondBoxes);

    EngineRun run;
    ScriptedServer firstServer(first);
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), {}, {},
             firstServer.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());
    QCOMPARE(run.boxTexts(), firstBoxes);
    QVERIFY(run.windowUnlocked());

    // The second run goes to another server with its own greeting.
    second[0] = ScriptedServer::Say("220 the second server\r\n");
    ScriptedServer secondServer(second);
    run.headless().SetFieldText(WindowControls::Field::Server, secondServer.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());

    QCOMPARE(run.boxTexts(), firstBoxes + secondBoxes);
    const QStringList log = run.logLines();
    QCOMPARE(log.mid(0, 3),
             (QStringList{QStringLiteral("W:Connecting to SMTP Server, please wait .."),
                          Expect::ConnectedNote, QStringLiteral("Y:220 the second server")}));
    QCOMPARE(log.count(QStringLiteral("W:Connecting to SMTP Server, please wait ..")), 1);
    // The refusal of RCPT is followed by QUIT.
    QCOMPARE(secondServer.commands(),
             secondBoxes == Sent ? FullDialogue : FullDialogue.mid(0, 3) + Commands{"QUIT"});
    QVERIFY(run.windowUnlocked());
}

QTEST_MAIN(tst_SlotEnd)
#include "tst_slotend.moc"
