#include "robustness/HostileScripts.h"
#include "robustness/RunChecks.h"
#include "robustness/Transcript.h"
#include "support/EngineRun.h"
#include "support/Expectations.h"
#include "support/ReplyTimeouts.h"
#include "support/ScriptedServer.h"

#include "engine/modQuendel_EmailClient.h"

#include <QtTest>

// Servers that misbehave in every way we could think of. Whatever a server
// does, a run ends in one verdict within the reply time-outs, the log shows
// what came as plain text, nothing but the dialogue's own commands goes on the
// wire, and the window is ready for the next run, which then works.
class tst_Hostile : public QObject
{
    Q_OBJECT
private slots:
    void hostileServer_data();
    void hostileServer();
    void socketErrorMidRun_data();
    void socketErrorMidRun();
};

namespace {
enum class Peer { Scripted, Refused, Unresolvable };
enum class Verdict { Sent, Failed };

// Long enough for any reply on a loopback connection, even on a loaded
// machine under a sanitizer; scenarios about silence shorten it.
constexpr int GenerousReplyMs = 20000;
constexpr int ShortReplyMs = 700;

const QString Error = QStringLiteral("SMTP Error!");
const QString Sent = QStringLiteral("Email Sent");

const QByteArray Bye = "221 2.0.0 Bye\r\n";

struct Row
{
    Prefix prefix;                  // the well-behaved start
    Script more;                    // what the server does then
    QStringList moreLog;            // what the log shows of it
    QList<QByteArray> moreCommands; // commands the client still sends
    bool messageSent = false;       // the message data went out
    Verdict verdict = Verdict::Failed;
    bool withAuth = false;
    Peer peer = Peer::Scripted;
    int replyTimeoutMs = GenerousReplyMs;
    int minArrivals = 0; // separate data arrivals the client must have seen
    QString note;        // a failing row's last note, where FailureNote has none
};

Row Make(const Prefix &prefix, const Script &more, const QStringList &moreLog)
{
    Row row;
    row.prefix = prefix;
    row.more = more;
    row.moreLog = moreLog;
    row.messageSent = prefix.messageSent;
    return row;
}

// A refusal: the client still says QUIT before it hangs up.
Row Refused(const Prefix &prefix, const Script &more, const QStringList &moreLog)
{
    Row row = Make(prefix, more, moreLog + QStringList{QStringLiteral(">QUIT")});
    row.moreCommands << "QUIT";
    return row;
}

using Expect::Hint;
using Expect::Note;
using Cause = Hints::Cause;
using Id = Notes::Id;

const QString Connected = u'#' + Expect::ConnectedNote;
const QString Took = u'#' + Expect::TookNote;

// The note that ends the log of each failing row: what went wrong, and where.
const QHash<QString, QString> FailureNote{
    {"greeting 421", Note(Id::RefusedGreeting, {"421"})},
    {"greeting 554", Note(Id::RefusedGreeting, {"554"})},
    {"greeting 500", Note(Id::RefusedGreeting, {"500"})},
    {"greeting 199", Note(Id::RefusedGreeting, {"199"})},
    {"greeting of another service", Note(Id::GreetingNotSmtp)},
    {"greeting of binary garbage", Note(Id::GreetingNotSmtp)},
    {"greeting of code and nothing else, too short", Note(Id::GreetingNotSmtp)},
    {"NUL byte inside the reply code", Note(Id::GreetingNotSmtp)},
    {"greeting of one 1 MiB line", Note(Id::GreetingTooLong, {"64"})},
    {"endless continuation lines", Note(Id::ReplyTooLong, {"64", "HELO"})},
    {"two replies in one segment", Note(Id::MoreThanOneReply, {"HELO"})},
    {"354 and 550 together", Note(Id::MoreThanOneReply, {"DATA"})},
    {"greeting and an unasked reply in one segment", Note(Id::MoreThanOneGreeting)},
    {"close before the greeting", Note(Id::ClosedBeforeGreeting)},
    {"close in the middle of a reply line", Note(Id::ClosedAfter, {"MAIL FROM"})},
    {"close in the middle of a multi-line reply", Note(Id::ClosedBeforeGreeting)},
    {"connection reset after MAIL", Note(Id::ClosedAfter, {"MAIL FROM"})},
    {"connection reset instead of a greeting", Note(Id::ClosedBeforeGreeting)},
    {"server that accepts and never speaks", Note(Id::NoGreeting, {"700 ms"})},
    {"server that falls silent after MAIL", Note(Id::NoReply, {"MAIL FROM", "700 ms"})},
    {"server that falls silent after the end of data",
     Note(Id::NoReply, {"the message", "700 ms"})},
    {"reply that never finishes its line", Note(Id::NoReply, {"HELO", "700 ms"})},
    {"connection refused", Note(Id::Refused, {"127.0.0.1", "{port}", "Connection refused"})},
    {"host name that does not resolve",
     Note(Id::HostNotFound, {"no-such-host.invalid", "Host not found"})},
    {"535 to the password", Note(Id::RefusedLogin, {"535"})},
    {"535 to the user name", Note(Id::RefusedLogin, {"535"})},
    {"504 to AUTH LOGIN", Note(Id::RefusedCommand, {"AUTH LOGIN", "504"})},
    {"503 to AUTH LOGIN", Note(Id::RefusedCommand, {"AUTH LOGIN", "503"})},
    {"250 to AUTH LOGIN", Note(Id::RefusedLogin, {"500"})},
    {"a third 334", Note(Id::RefusedLogin, {"535"})},
};

// The hint after that note, the likely cause and what to try, of the rows
// whose evidence points to one; the log of every other row ends with the note.
const QHash<QString, QString> FailureHint{
    {"greeting 554", Expect::PolicyHint},        {"535 to the password", Expect::LoginHint},
    {"535 to the user name", Expect::LoginHint}, {"504 to AUTH LOGIN", Expect::NoAuthHint},
    {"503 to AUTH LOGIN", Expect::NoAuthHint},
};

void AddRow(const char *name, const Row &row)
{
    // A scripted server is always reached; a successful dialogue says how
    // long it took, a failed one what went wrong.
    QStringList log = row.prefix.log + row.moreLog;
    if (row.peer == Peer::Scripted)
        log.prepend(Connected);
    if (row.verdict == Verdict::Sent) {
        log.append(Took);
    } else {
        const QString note =
            row.note.isEmpty() ? FailureNote.value(QString::fromUtf8(name)) : row.note;
        if (note.isEmpty())
            qFatal("no failure note for the row \"%s\"", name);
        log.append(QStringLiteral("#") + note);
        if (!FailureHint.value(QString::fromUtf8(name)).isEmpty())
            log.append(u'#' + FailureHint.value(QString::fromUtf8(name)));
    }
    QTest::newRow(name) << row.peer << row.withAuth << row.replyTimeoutMs << row.minArrivals
                        << (row.prefix.script + row.more)
                        << (row.prefix.commands + row.moreCommands) << row.messageSent
                        << ExpectedLog(log)
                        << QStringList{row.verdict == Verdict::Sent ? Sent : Error};
}

// A whole successful dialogue whose replies come from `exchanges`.
void AddSuccess(const char *name, const QList<Exchange> &exchanges, bool withAuth = false,
                int minArrivals = 0)
{
    Row row = Make(PrefixOf(exchanges, Upto::Quit), {ScriptedServer::Say(Bye)}, {"<221 2.0.0 Bye"});
    row.verdict = Verdict::Sent;
    row.withAuth = withAuth;
    row.minArrivals = minArrivals;
    AddRow(name, row);
}

QList<Exchange> WithReply(QList<Exchange> exchanges, int index, const QByteArray &reply,
                          const QString &shown)
{
    exchanges[index].turn.reply = reply;
    exchanges[index].shown = shown;
    return exchanges;
}

QString Repeated(const QString &line, int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << line;
    return lines.join(u'\n');
}

void GreetingRows()
{
    AddRow("greeting 421", Make({}, {ScriptedServer::Say("421 4.3.2 Service not available\r\n")},
                                {"<421 4.3.2 Service not available"}));
    AddRow("greeting 554", Refused({}, {ScriptedServer::Say("554 5.7.1 No SMTP service here\r\n")},
                                   {"<554 5.7.1 No SMTP service here"}));
    AddRow("greeting 500",
           Refused({}, {ScriptedServer::Say("500 Syntax error\r\n")}, {"<500 Syntax error"}));
    AddRow("greeting 199", Refused({}, {ScriptedServer::Say("199 almost\r\n")}, {"<199 almost"}));
    AddRow("greeting of another service",
           Make({}, {ScriptedServer::Say("SSH-2.0-OpenSSH_9.2p1 Debian-2\r\n")},
                {"<SSH-2.0-OpenSSH_9.2p1 Debian-2"}));
    AddRow("greeting of binary garbage",
           Make({}, {ScriptedServer::Say(QByteArray("\x16\x03\x01\x00\xff\x01\r\n", 8))},
                {QStringLiteral("<\u2416\u2403\u2401\u2400\uFFFD\u2401")}));
    AddRow("greeting of code and nothing else, too short",
           Make({}, {ScriptedServer::Say("22\r\n")}, {"<22"}));

    {
        // Pieces of one line each, 150 ms apart.
        QList<Exchange> exchanges =
            WithReply(StandardExchanges(false), 0,
                      "220-hello there\r\n220-second line\r\n220 ready to go\r\n",
                      "<220-hello there\n220-second line\n220 ready to go");
        exchanges[0].turn.pieceSize = 17;
        exchanges[0].turn.pieceDelayMs = 150;
        AddSuccess("multi-line greeting line by line with pauses", exchanges, false, 3 + 6);
    }
    AddSuccess(
        "bare 220 greeting and bare 250",
        WithReply(WithReply(StandardExchanges(false), 0, "220\r\n", "<220"), 1, "250\r\n", "<250"));
    AddSuccess("greeting with sloppy bare LF line ends",
               WithReply(StandardExchanges(false), 0, "220-sloppy\n220 server\n",
                         "<220-sloppy\n220 server"));
    AddSuccess("greeting with NUL bytes",
               WithReply(StandardExchanges(false), 0, QByteArray("220 a\0b\0\r\n", 10),
                         QStringLiteral("<220 a\u2400b\u2400")));
    AddRow("NUL byte inside the reply code", Make({},
                                                  {ScriptedServer::Say(QByteArray("2\x00"
                                                                                  "0 ready\r\n",
                                                                                  11))},
                                                  {QStringLiteral("<2\u24000 ready")}));
    AddSuccess("greeting with invalid UTF-8",
               WithReply(StandardExchanges(false), 0, "220 \xff\xfe \xc3( \xe2\x82 ok\r\n",
                         QStringLiteral("<220 \uFFFD\uFFFD \uFFFD( \uFFFD\uFFFD ok")));
    AddSuccess("greeting with HTML",
               WithReply(StandardExchanges(false), 0,
                         "220 <b>bold</b> <script>alert(1)</script> &amp; <img src=x>\r\n",
                         "<220 <b>bold</b> <script>alert(1)</script> &amp; <img src=x>"));
    AddSuccess(
        "greeting with control characters",
        WithReply(
            StandardExchanges(false), 0, "220 \x1b[31mred\x1b[0m\x07\x08 cr\rhere\ttab \x7f\r\n",
            QStringLiteral("<220 \u241b[31mred\u241b[0m\u2407\u2408 cr\u240dhere\ttab \u2421")));
}

void SizeRows()
{
    const QByteArray megabyteLine = "220 " + QByteArray(1024 * 1024, 'x') + "\r\n";
    AddRow("greeting of one 1 MiB line",
           Make({}, {ScriptedServer::Say(megabyteLine)},
                {QStringLiteral("~") + QString::fromLatin1(megabyteLine.left(64 * 1024))}));

    QByteArray block;
    for (int i = 0; i < 64; ++i)
        block += "250-" + QByteArray(58, 'y') + "\r\n"; // 64 lines of 64 bytes
    AddRow(
        "endless continuation lines",
        Make(StandardUpto(Upto::Helo), {ScriptedServer::SayForever(block)},
             {QStringLiteral("~") + Repeated(QString::fromLatin1(block.left(64)).chopped(2), 1024) +
              QStringLiteral("\n")}));

    QByteArray large;
    for (int i = 0; i < 1000; ++i)
        large += "220-" + QByteArray(56, 'z') + "\r\n";
    large += "220 that was all\r\n";
    QString shown = QStringLiteral("<") + QString::fromLatin1(large);
    shown.chop(2);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    AddSuccess("multi-line greeting of 60 KiB, under the limit",
               WithReply(StandardExchanges(false), 0, large, shown));
}

void FramingRows()
{
    AddSuccess(
        "every reply split at every byte",
        [] {
            QList<Exchange> exchanges = WithReply(StandardExchanges(true), 0,
                                                  "220 gr\xc3\xbc\xc3\x9f"
                                                  "e \xe2\x9c\x93 ready\r\n",
                                                  QStringLiteral("<220 grüße ✓ ready"));
            for (Exchange &exchange : exchanges)
                exchange.turn = ByteByByte({exchange.turn}, 2).first();
            return exchanges;
        }(),
        true, 3 * 10); // at the very least three pieces for each of the ten replies

    AddRow("two replies in one segment",
           Make(StandardUpto(Upto::Helo), {ScriptedServer::Say("250 ok\r\n250 again\r\n")},
                {"<250 ok", "<250 again"}));
    AddRow("354 and 550 together",
           Make(StandardUpto(Upto::Data),
                {ScriptedServer::Say("354 go ahead\r\n550 5.7.1 changed my mind\r\n")},
                {"<354 go ahead", "<550 5.7.1 changed my mind"}));
    AddRow("greeting and an unasked reply in one segment",
           Make({}, {ScriptedServer::Say("220 hi\r\n250 eager\r\n")}, {"<220 hi", "<250 eager"}));
}

void MidDialogueRows()
{
    const struct
    {
        const char *name;
        Upto upto;
        const char *refused;
    } points[] = {{"421 after MAIL", Upto::Mail, "MAIL FROM"},
                  {"421 after RCPT", Upto::Rcpt, "RCPT TO"},
                  {"421 after DATA", Upto::Data, "DATA"},
                  {"421 after the end of data", Upto::Dot, "the message"}};
    for (const auto &point : points) {
        Row row = Make(StandardUpto(point.upto),
                       {ScriptedServer::SayThenClose("421 4.4.2 Timeout, closing\r\n")},
                       {"<421 4.4.2 Timeout, closing"});
        row.note = Note(Id::RefusedCommand, {point.refused, "421"});
        AddRow(point.name, row);
    }

    const struct
    {
        const char *name;
        Upto upto;
        bool withAuth;
        const char *after;
    } closes[] = {{"close without reply after HELO", Upto::Helo, false, "HELO"},
                  {"close without reply after AUTH LOGIN", Upto::AuthLogin, true, "AUTH LOGIN"},
                  {"close without reply after the user name", Upto::User, true, "the user name"},
                  {"close without reply after the password", Upto::Pass, true, "the password"},
                  {"close without reply after MAIL", Upto::Mail, false, "MAIL FROM"},
                  {"close without reply after RCPT", Upto::Rcpt, false, "RCPT TO"},
                  {"close without reply after DATA", Upto::Data, false, "DATA"},
                  {"close without reply after the end of data", Upto::Dot, false, "the message"}};
    for (const auto &close : closes) {
        Row row =
            Make(StandardUpto(close.upto, close.withAuth), {ScriptedServer::SayThenClose({})}, {});
        row.withAuth = close.withAuth;
        row.note = Note(Id::ClosedAfter, {close.after});
        AddRow(close.name, row);
    }
    AddRow("close before the greeting", Make({}, {ScriptedServer::SayThenClose({})}, {}));

    AddRow("close in the middle of a reply line",
           Make(StandardUpto(Upto::Mail), {ScriptedServer::SayThenClose("250 2.1.0 O")},
                {"~250 2.1.0 O"}));
    AddRow("close in the middle of a multi-line reply",
           Make({}, {ScriptedServer::SayThenClose("220-first line\r\n220-sec")},
                {"~220-first line\n220-sec"}));
    AddRow("connection reset after MAIL", Make(StandardUpto(Upto::Mail), {SayThenReset({})}, {}));
    AddRow("connection reset instead of a greeting", Make({}, {SayThenReset({})}, {}));
}

void AfterQuitRows()
{
    const struct
    {
        const char *name;
        Turn turn;
        QStringList log;
        int minArrivals = 0;
    } replies[] = {
        {"221 after QUIT", ScriptedServer::Say(Bye), {"<221 2.0.0 Bye"}},
        {"250 after QUIT", ScriptedServer::Say("250 ok\r\n"), {"<250 ok"}},
        {"421 after QUIT", ScriptedServer::Say("421 closing\r\n"), {"<421 closing"}},
        {"554 after QUIT", ScriptedServer::Say("554 go away\r\n"), {"<554 go away"}},
        {"garbage after QUIT", ScriptedServer::Say("what?\r\n"), {"<what?"}},
        {"multi-line reply after QUIT",
         ScriptedServer::Say("221-see\r\n221 you\r\n"),
         {"<221-see\n221 you"}},
        {"two replies after QUIT",
         ScriptedServer::Say("221 bye\r\n221 bye again\r\n"),
         {"<221 bye", "<221 bye again"}},
        {"close without reply after QUIT", ScriptedServer::SayThenClose({}), {}},
        {"reset after QUIT", SayThenReset({}), {}},
        {"unfinished reply and close after QUIT", ScriptedServer::SayThenClose("22"), {"~22"}},
        {"reply split at every byte after QUIT",
         ByteByByte({ScriptedServer::Say(Bye)}, 2).first(),
         {"<221 2.0.0 Bye"},
         7 + 3},
    };
    for (const auto &reply : replies) {
        Row row = Make(StandardUpto(Upto::Quit), {reply.turn}, reply.log);
        row.verdict = Verdict::Sent;
        row.minArrivals = reply.minArrivals;
        AddRow(reply.name, row);
    }
}

void SilenceRows()
{
    Row silentGreeting = Make({}, {ScriptedServer::Silence()}, {});
    silentGreeting.replyTimeoutMs = ShortReplyMs;
    AddRow("server that accepts and never speaks", silentGreeting);

    Row silentAfterMail = Make(StandardUpto(Upto::Mail), {ScriptedServer::Silence()}, {});
    silentAfterMail.replyTimeoutMs = ShortReplyMs;
    AddRow("server that falls silent after MAIL", silentAfterMail);

    Row silentAfterDot = Make(StandardUpto(Upto::Dot), {ScriptedServer::Silence()}, {});
    silentAfterDot.replyTimeoutMs = ShortReplyMs;
    AddRow("server that falls silent after the end of data", silentAfterDot);

    Row unfinished = Make(StandardUpto(Upto::Helo), {ScriptedServer::Say("250 never ends")},
                          {"~250 never ends"});
    unfinished.replyTimeoutMs = ShortReplyMs;
    AddRow("reply that never finishes its line", unfinished);

    Row silentAfterQuit = Make(StandardUpto(Upto::Quit), {ScriptedServer::Silence()}, {});
    silentAfterQuit.replyTimeoutMs = ShortReplyMs;
    silentAfterQuit.verdict = Verdict::Sent;
    AddRow("silence after QUIT", silentAfterQuit);
}

void ConnectionRows()
{
    Row refused;
    refused.peer = Peer::Refused;
    AddRow("connection refused", refused);

    Row unresolvable;
    unresolvable.peer = Peer::Unresolvable;
    AddRow("host name that does not resolve", unresolvable);
}

void AuthRows()
{
    const auto authRow = [](const char *name, Upto upto, const Script &more, const QStringList &log,
                            const QList<QByteArray> &commands = {},
                            Verdict verdict = Verdict::Failed, bool messageSent = false) {
        Row row = Make(StandardUpto(upto, true), more, log);
        row.moreCommands = commands;
        row.verdict = verdict;
        row.withAuth = true;
        row.messageSent = row.messageSent || messageSent;
        AddRow(name, row);
    };
    authRow("535 to the password", Upto::Pass,
            {ScriptedServer::Say("535 5.7.8 Authentication credentials invalid\r\n")},
            {"<535 5.7.8 Authentication credentials invalid", ">QUIT"}, {"QUIT"});
    authRow("535 to the user name", Upto::User,
            {ScriptedServer::Say("535 5.7.8 Authentication credentials invalid\r\n")},
            {"<535 5.7.8 Authentication credentials invalid", ">QUIT"}, {"QUIT"});
    authRow("504 to AUTH LOGIN", Upto::AuthLogin,
            {ScriptedServer::Say("504 5.5.4 Unrecognized authentication type\r\n")},
            {"<504 5.5.4 Unrecognized authentication type", ">QUIT"}, {"QUIT"});
    authRow("503 to AUTH LOGIN", Upto::AuthLogin,
            {ScriptedServer::Say("503 5.5.1 Error: authentication not enabled\r\n")},
            {"<503 5.5.1 Error: authentication not enabled", ">QUIT"}, {"QUIT"});
    authRow(
        "250 to AUTH LOGIN", Upto::AuthLogin,
        {ScriptedServer::Say("250 fine, whatever\r\n"),
         ScriptedServer::Say("500 5.5.2 Error: command not recognized\r\n")},
        {"<250 fine, whatever", ">dXNlcg==", "<500 5.5.2 Error: command not recognized", ">QUIT"},
        {"dXNlcg==", "QUIT"});
    authRow("a third 334", Upto::Pass,
            {ScriptedServer::Say("334 VGhpcmQ6\r\n"),
             ScriptedServer::Say("535 5.7.8 Error: authentication failed\r\n")},
            {"<334 VGhpcmQ6", ">MAIL FROM:<>", "<535 5.7.8 Error: authentication failed", ">QUIT"},
            {"MAIL FROM:<>", "QUIT"});
}
} // namespace

void tst_Hostile::hostileServer_data()
{
    QTest::addColumn<Peer>("peer");
    QTest::addColumn<bool>("withAuth");
    QTest::addColumn<int>("replyTimeoutMs");
    QTest::addColumn<int>("minArrivals");
    QTest::addColumn<Script>("script");
    QTest::addColumn<QList<QByteArray>>("commands");
    QTest::addColumn<bool>("messageSent");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QStringList>("boxes");

    GreetingRows();
    SizeRows();
    FramingRows();
    MidDialogueRows();
    AfterQuitRows();
    SilenceRows();
    ConnectionRows();
    AuthRows();
}

void tst_Hostile::hostileServer()
{
    QFETCH(Peer, peer);
    QFETCH(bool, withAuth);
    QFETCH(int, replyTimeoutMs);
    QFETCH(int, minArrivals);
    QFETCH(Script, script);
    QFETCH(QList<QByteArray>, commands);
    QFETCH(bool, messageSent);
    QFETCH(QStringList, log);
    QFETCH(QStringList, boxes);

    const ReplyTimeouts timeouts(replyTimeoutMs);

    ScriptedServer server(script);
    QString address = server.address();
    if (peer == Peer::Refused) {
        // A port that was free a moment ago and has no listener now.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        address = QStringLiteral("127.0.0.1:%1").arg(probe.serverPort());
    } else if (peer == Peer::Unresolvable) {
        address = QStringLiteral("no-such-host.invalid"); // reserved: never resolves
    }

    EngineRun run;
    const Fields fields{QStringLiteral("Hello"), QStringLiteral("bob@example.com"),
                        withAuth ? QStringLiteral("user") : QString(),
                        withAuth ? QStringLiteral("secret") : QString(), address};
    Fill(run, fields);
    const QByteArray stampBefore = StampNow();
    QSignalSpy arrivals(&run.sockets(), &SocketArray::DataArrival);
    run.clickTest();
    // Every scenario ends by itself: through the server, a time-out or an error.
    QVERIFY(run.waitForRunEnd(60000));
    const QByteArray stampAfter = StampNow();
    // The pieces reached the client as pieces, not gathered into one read.
    QVERIFY2(arrivals.count() >= minArrivals, qPrintable(QString::number(arrivals.count())));

    QCOMPARE(run.boxTexts(), boxes);
    QCOMPARE(server.commands(), commands);
    QByteArray wire = server.received();
    const QByteArray stamp = TakeStamp(wire);
    QCOMPARE(!stamp.isEmpty(), messageSent);
    if (messageSent)
        QVERIFY2(stamp == stampBefore || stamp == stampAfter, stamp.constData());
    const QByteArray data = messageSent ? ExpectedData(fields.email, "Hello") : QByteArray();
    QCOMPARE(wire, ExpectedWire(commands, data));
    QCOMPARE(run.logLines(), log);

    if (peer == Peer::Scripted)
        QTRY_VERIFY(server.peerClosed()); // no connection outlives its run
    VerifyWindowReady(run, fields);
    if (QTest::currentTestFailed())
        return;
    VerifyNextRunWorks(run);
}

void tst_Hostile::socketErrorMidRun_data()
{
    QTest::addColumn<Upto>("upto");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("notes");
    QTest::newRow("error after MAIL")
        << Upto::Mail << Error
        << QStringList{
               u'#' + Note(Id::ConnectionFailed, {"127.0.0.1", "{port}", "Connection timed out"}),
               u'#' + Note(Id::FailedWaiting, {"MAIL FROM"})};
    QTest::newRow("error after QUIT") << Upto::Quit << Sent // the message was accepted
                                      << QStringList{Took};
}

// A connection that fails with an error rather than a close. No server here
// can make the local socket report one on demand, so the test has the socket
// element raise its Error event once the server has seen the command.
void tst_Hostile::socketErrorMidRun()
{
    QFETCH(Upto, upto);
    QFETCH(QString, box);
    QFETCH(QStringList, notes);
    const ReplyTimeouts timeouts(GenerousReplyMs);

    const Prefix prefix = StandardUpto(upto);
    ScriptedServer server(prefix.script + Script{ScriptedServer::Silence()});
    EngineRun run;
    const Fields fields{
        QStringLiteral("Hello"), QStringLiteral("bob@example.com"), {}, {}, server.address()};
    Fill(run, fields);

    QTimer watch;
    watch.setInterval(10);
    connect(&watch, &QTimer::timeout, this, [&] {
        if (server.commands() != prefix.commands)
            return;
        watch.stop();
        emit run.sockets()(1).error(QAbstractSocket::SocketTimeoutError,
                                    QStringLiteral("Connection timed out"));
    });
    watch.start();
    run.clickTest();
    QVERIFY(run.waitForRunEnd(60000));

    QCOMPARE(run.boxTexts(), QStringList{box});
    QCOMPARE(server.commands(), prefix.commands);
    QCOMPARE(run.logLines(), ExpectedLog(QStringList{Connected} + prefix.log + notes));
    VerifyWindowReady(run, fields);
    if (QTest::currentTestFailed())
        return;
    VerifyNextRunWorks(run);
}

QTEST_MAIN(tst_Hostile)
#include "tst_hostile.moc"
