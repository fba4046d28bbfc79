#include "robustness/RunChecks.h"

#include "robustness/Transcript.h"
#include "support/Expectations.h"
#include "support/ScriptedServer.h"

#include <QTest>

void Fill(EngineRun &run, const Fields &fields)
{
    run.fill(fields.message, fields.email, fields.user, fields.pass, fields.server);
}

void VerifyWindowReady(EngineRun &run, const Fields &typed)
{
    using Field = WindowControls::Field;
    const WindowControls &window = run.controls();
    QVERIFY(run.windowUnlocked());
    QVERIFY(!run.runOn());
    QCOMPARE(run.sockets().Indexes(), QList<std::int16_t>{0});
    QCOMPARE(run.programEnds(), 0);
    QCOMPARE(window.FieldText(Field::Message), typed.message);
    QCOMPARE(window.FieldText(Field::Email), typed.email);
    QCOMPARE(window.FieldText(Field::User), typed.user);
    QCOMPARE(window.FieldText(Field::Pass), typed.pass);
    QCOMPARE(window.FieldText(Field::Server), typed.server);
}

void VerifyNextRunWorks(EngineRun &run)
{
    ScriptedServer server(ScriptedServer::AcceptingScript(false));
    const Fields fields{
        QStringLiteral("Once more"), QStringLiteral("eve@example.org"), {}, {}, server.address()};
    Fill(run, fields);
    const qsizetype boxesBefore = run.boxes().size();

    run.clickTest();
    QVERIFY(run.waitForRunEnd(30000));

    QCOMPARE(run.boxTexts().mid(boxesBefore), Expect::Sent);
    QCOMPARE(server.commands(), (QList<QByteArray>{"HELO [127.0.0.1]", "MAIL FROM:<>",
                                                   "RCPT TO:<eve@example.org>", "DATA", "QUIT"}));
    QByteArray wire = server.received();
    QVERIFY(!TakeStamp(wire).isEmpty());
    QCOMPARE(wire, ExpectedWire(server.commands(), ExpectedData(fields.email, "Once more")));
    QCOMPARE(run.logLines(), Expect::AcceptingLogWithoutAuth(fields.email));
    VerifyWindowReady(run, fields);
}
