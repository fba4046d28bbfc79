#include "support/EngineRun.h"
#include "support/Expectations.h"
#include "support/ReplyTimeouts.h"
#include "support/ScriptedServer.h"

#include "engine/ReplyFramer.h"
#include "engine/modQuendel_EmailClient.h"

#include <QtTest>

using Expect::Failed;
using Expect::FullDialogue;
using Expect::Sent;

// Replies are framed from the byte stream: however a server cuts them into
// arrivals, each reply is one reply, a multi-line reply included; what does
// not fit that (a second reply nobody asked for, a reply without end) fails
// the slot.
class tst_Framing : public QObject
{
    Q_OBJECT
private slots:
    void framer_data();
    void framer();
    void framerBoundsAReplyWithoutEnd_data();
    void framerBoundsAReplyWithoutEnd();

    void framedRuns_data();
    void framedRuns();
    void oversizedReplies_data();
    void oversizedReplies();

private:
    // A run that misreads its replies ends up waiting for one that never
    // comes: ten seconds make that a quick failure rather than a slow one.
    const ReplyTimeouts m_timeouts{10000, modQuendel_EmailClient::DataReplyTimeoutMs};
};

void tst_Framing::framer_data()
{
    QTest::addColumn<QStringList>("arrivals");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QString>("left");

    QTest::newRow("one line") << QStringList{"250 ok\r\n"} << QStringList{"250 ok\r\n"} << "";
    QTest::newRow("byte by byte") << QString("250 ok\r\n").split(QString(), Qt::SkipEmptyParts)
                                  << QStringList{"250 ok\r\n"} << "";
    QTest::newRow("cut between CR and LF")
        << QStringList{"250 ok\r", "\n"} << QStringList{"250 ok\r\n"} << "";
    QTest::newRow("bare LF") << QStringList{"250 ok\n"} << QStringList{"250 ok\n"} << "";
    QTest::newRow("three characters") << QStringList{"250\r\n"} << QStringList{"250\r\n"} << "";
    QTest::newRow("shorter line") << QStringList{"25\r\n"} << QStringList{"25\r\n"} << "";
    QTest::newRow("empty line") << QStringList{"\r\n"} << QStringList{"\r\n"} << "";
    QTest::newRow("hyphen later in the line")
        << QStringList{"250 a-b\r\n"} << QStringList{"250 a-b\r\n"} << "";
    QTest::newRow("multi-line") << QStringList{"250-a\r\n250-b\r\n250 c\r\n"}
                                << QStringList{"250-a\r\n250-b\r\n250 c\r\n"} << "";
    QTest::newRow("multi-line cut anywhere")
        << QStringList{"25", "0-a\r", "\n250-b\r\n2", "50 c", "\r\n"}
        << QStringList{"250-a\r\n250-b\r\n250 c\r\n"} << "";
    QTest::newRow("multi-line with bare LF")
        << QStringList{"250-a\n250 c\n"} << QStringList{"250-a\n250 c\n"} << "";
    QTest::newRow("continuation line of four characters")
        << QStringList{"250-\r\n250 x\r\n"} << QStringList{"250-\r\n250 x\r\n"} << "";
    QTest::newRow("two replies in one arrival")
        << QStringList{"220 a\r\n250 b\r\n"} << QStringList{"220 a\r\n", "250 b\r\n"} << "";
    QTest::newRow("reply and the start of another")
        << QStringList{"220 a\r\n25"} << QStringList{"220 a\r\n"} << "25";
    QTest::newRow("no line end yet") << QStringList{"250 ok"} << QStringList{} << "250 ok";
    QTest::newRow("continuation without its last line")
        << QStringList{"250-a\r\n250-b\r\n"} << QStringList{} << "250-a\r\n250-b\r\n";
}

void tst_Framing::framer()
{
    QFETCH(QStringList, arrivals);
    QFETCH(QStringList, replies);
    QFETCH(QString, left);

    ReplyFramer framer;
    QStringList taken;
    for (const QString &arrival : arrivals) {
        framer.Append(arrival);
        QVERIFY(!framer.Overflowed());
    }
    while (framer.HasReply())
        taken.append(framer.TakeReply());
    QCOMPARE(taken, replies);
    QCOMPARE(framer.TakeAll(), left);
    QVERIFY(framer.IsEmpty());
}

void tst_Framing::framerBoundsAReplyWithoutEnd_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("one endless line") << QString(1000, u'x');
    QTest::newRow("endless continuation lines")
        << QStringLiteral("250-%1\r\n").arg(QString(90, u'y'));
}

void tst_Framing::framerBoundsAReplyWithoutEnd()
{
    QFETCH(QString, line);
    ReplyFramer framer;
    qsizetype appended = 0;
    while (appended <= ReplyFramer::MaxReplyLength) {
        QVERIFY(!framer.Overflowed());
        framer.Append(line);
        appended += line.size();
    }
    QVERIFY(!framer.HasReply());
    QVERIFY(framer.Overflowed());
}

namespace {
Script WithLineEnds(Script script, const QByteArray &lineEnd)
{
    for (Turn &turn : script)
        turn.reply.replace("\r\n", lineEnd);
    return script;
}

const QString Connecting = QStringLiteral("W:Connecting to SMTP Server, please wait ..");
} // namespace

void tst_Framing::framedRuns_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<Commands>("commands");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QStringList>("boxes");

    const Script accepting = ScriptedServer::AcceptingScript(false);
    const QStringList acceptingLog = Expect::AcceptingLogWithoutAuth();

    QTest::newRow("every reply byte by byte")
        << Expect::InPieces(accepting, 1, 0) << FullDialogue << acceptingLog << Sent;
    QTest::newRow("pieces of three bytes, 5 ms apart")
        << Expect::InPieces(accepting, 3, 5) << FullDialogue << acceptingLog << Sent;
    QTest::newRow("bare line feeds")
        << WithLineEnds(accepting, "\n") << FullDialogue << acceptingLog << Sent;
    QTest::newRow("bare line feeds byte by byte")
        << Expect::InPieces(WithLineEnds(accepting, "\n"), 1, 1) << FullDialogue << acceptingLog
        << Sent;

    QTest::newRow("three-character replies")
        << Script{ScriptedServer::Say("220\r\n"), ScriptedServer::Say("250\r\n"),
                  ScriptedServer::Say("250\r\n"), ScriptedServer::Say("250\r\n"),
                  ScriptedServer::Say("354\r\n"), ScriptedServer::Say("250\r\n"),
                  ScriptedServer::Say("221\r\n")}
        << FullDialogue
        << QStringList{Connecting,
                       Expect::ConnectedNote,
                       "Y:220",
                       "",
                       "W:HELO [127.0.0.1]",
                       "Y:250",
                       "",
                       "W:MAIL FROM:<>",
                       "Y:250",
                       "",
                       "W:RCPT TO:<bob@example.com>",
                       "Y:250",
                       "",
                       "W:DATA",
                       "Y:354",
                       "",
                       "W:Subject: Vormant",
                       "W:.",
                       "Y:250",
                       "",
                       "W:QUIT",
                       "Y:221",
                       "",
                       Expect::TookNote}
        << Sent;

    Script multiLine = accepting;
    multiLine[0] = ScriptedServer::Say("220-scripted.test ESMTP\r\n220-no UCE\r\n220 ready\r\n");
    multiLine[1] = ScriptedServer::Say("250-scripted.test\r\n250-SIZE 1000\r\n250 HELP\r\n");
    QStringList multiLineLog = acceptingLog;
    multiLineLog.replace(2, "Y:220-scripted.test ESMTP");
    multiLineLog.insert(3, "Y:220-no UCE");
    multiLineLog.insert(4, "Y:220 ready");
    multiLineLog.replace(7, "Y:250-scripted.test");
    multiLineLog.insert(8, "Y:250-SIZE 1000");
    multiLineLog.insert(9, "Y:250 HELP");
    QTest::newRow("multi-line replies") << multiLine << FullDialogue << multiLineLog << Sent;
    QTest::newRow("multi-line replies in pieces of four bytes")
        << Expect::InPieces(multiLine, 4, 2) << FullDialogue << multiLineLog << Sent;

    QTest::newRow("multi-line refusal")
        << Script{ScriptedServer::Say("554-not now\r\n554 go away\r\n")} << Commands{"QUIT"}
        << QStringList{Connecting,
                       Expect::ConnectedNote,
                       "Y:554-not now",
                       "Y:554 go away",
                       "",
                       "W:QUIT",
                       Expect::Note(Notes::Id::RefusedGreeting, {"554"}),
                       Expect::PolicyHint}
        << Failed;

    QTest::newRow("greeting with the start of another reply")
        << Script{ScriptedServer::Say("220 first\r\n25")} << Commands{}
        << QStringList{Connecting,    Expect::ConnectedNote,
                       "Y:220 first", "",
                       "Y:25",        Expect::Note(Notes::Id::MoreThanOneGreeting)}
        << Failed;
    Script extraAfterData = accepting;
    extraAfterData[5] = ScriptedServer::Say("250 queued\r\n221 bye\r\n");
    QStringList extraAfterDataLog = acceptingLog.mid(0, 18);
    extraAfterDataLog << "Y:250 queued"
                      << ""
                      << "Y:221 bye"
                      << "" << Expect::Note(Notes::Id::MoreThanOneReply, {"the message"});
    QTest::newRow("reply to the data with a reply nobody asked for")
        << extraAfterData << FullDialogue.mid(0, 4) << extraAfterDataLog << Failed;

    Script twoAfterQuit = accepting;
    twoAfterQuit[6] = ScriptedServer::Say("221 a\r\n221 b\r\n");
    QStringList twoAfterQuitLog = acceptingLog.mid(0, 21);
    twoAfterQuitLog << "Y:221 a"
                    << ""
                    << "Y:221 b"
                    << "" << Expect::TookNote;
    QTest::newRow("two replies after QUIT")
        << twoAfterQuit << FullDialogue << twoAfterQuitLog << Sent;
}

void tst_Framing::framedRuns()
{
    QFETCH(Script, script);
    QFETCH(Commands, commands);
    QFETCH(QStringList, log);
    QFETCH(QStringList, boxes);

    ScriptedServer server(script);
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), {}, {}, server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());

    QCOMPARE(server.commands(), commands);
    QCOMPARE(run.logLines(), log);
    QCOMPARE(run.boxTexts(), boxes);
    QVERIFY(run.windowUnlocked());
}

void tst_Framing::oversizedReplies_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<Commands>("commands");
    QTest::addColumn<int>("replies"); // how many replies' worth the log may keep

    QTest::newRow("greeting that never ends its line")
        << Script{ScriptedServer::SayForever(QByteArray(4096, 'x'))} << Commands{} << 1;
    QTest::newRow("greeting of endless continuation lines")
        << Script{ScriptedServer::SayForever("220-" + QByteArray(200, 'c') + "\r\n")} << Commands{}
        << 1;
    QTest::newRow("reply to HELO that never ends")
        << Script{ScriptedServer::Say("220 hi\r\n"),
                  ScriptedServer::SayForever(QByteArray(4096, 'y'))}
        << Commands{"HELO [127.0.0.1]"} << 1;
    // Not endless, but far more than any reply: what was not asked for is
    // shown only as far as a reply could go.
    QByteArray flood = "220 hi\r\n";
    while (flood.size() < 4 * 1024 * 1024)
        flood += "250 unasked for\r\n";
    QTest::newRow("greeting followed by a flood of replies")
        << Script{ScriptedServer::Say(flood)} << Commands{} << 1;
    QTest::newRow("flood behind the greeting")
        << Script{ScriptedServer::Say("220 hi\r\n" + QByteArray(1024 * 1024, 'x') + "\r\n")}
        << Commands{} << 1;
    // Line ends alone may take the log to twice one reply's worth, no further.
    QTest::newRow("flood of line ends behind the greeting")
        << Script{ScriptedServer::Say("220 hi\r\n" + QByteArray(200'000, '\n'))} << Commands{} << 2;
}

void tst_Framing::oversizedReplies()
{
    QFETCH(Script, script);
    QFETCH(Commands, commands);
    QFETCH(int, replies);

    ScriptedServer server(script);
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), {}, {}, server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd(60000));

    QCOMPARE(run.boxTexts(), Failed);
    QCOMPARE(server.commands(), commands);
    QTRY_VERIFY(server.peerClosed()); // the client hung up on it
    // What the log keeps of it is bounded too.
    QVERIFY2(run.logText().size() < replies * ReplyFramer::MaxReplyLength + 1024,
             qPrintable(QString::number(run.logText().size())));
    QVERIFY(run.windowUnlocked());
}

QTEST_MAIN(tst_Framing)
#include "tst_framing.moc"
