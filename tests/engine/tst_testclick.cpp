#include "support/EngineRun.h"
#include "support/ScriptedServer.h"

#include "engine/modQuendel_EmailClient.h"
#include "util/Colors.h"

#include <QScopeGuard>
#include <QtTest>

// The Test click refuses what cannot make a sound run: the box says why,
// nothing goes out, and everything typed stays as it was, ready to correct.
class tst_TestClick : public QObject
{
    Q_OBJECT
private slots:
    void formFillErrors_data();
    void formFillErrors();
    void blanksPassTheCheck();
    void windowLockedDuringARun();
};

void tst_TestClick::formFillErrors_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("server"); // "%1" stands for a listening server's address
    QTest::addColumn<QString>("reason"); // the box's second line

    const QString missing = QStringLiteral("Please fill out all information");
    const QString badEmail =
        QStringLiteral("The email address may not contain line breaks or control characters");
    const QString badPort = QStringLiteral("The server's port must be a number from 1 to 65535");
    const QString ok = QStringLiteral("%1");

    QTest::newRow("no message") << ""
                                << "bob@example.com" << ok << missing;
    QTest::newRow("no recipient") << "Hello"
                                  << "" << ok << missing;
    QTest::newRow("no server") << "Hello"
                               << "bob@example.com"
                               << "" << missing;

    QTest::newRow("recipient with CR LF and a command")
        << "Hello"
        << "bob@example.com\r\nRCPT TO:eve@example.com" << ok << badEmail;
    QTest::newRow("recipient with CR") << "Hello"
                                       << "bob@example.com\r" << ok << badEmail;
    QTest::newRow("recipient with LF") << "Hello"
                                       << "bob\n@example.com" << ok << badEmail;
    QTest::newRow("recipient with NUL")
        << "Hello" << QStringLiteral("bob%1@example.com").arg(QChar(0)) << ok << badEmail;
    QTest::newRow("recipient with 0x01") << "Hello"
                                         << "\x01"
                                            "bob@example.com"
                                         << ok << badEmail;
    QTest::newRow("recipient with 0x1F") << "Hello"
                                         << "bob@example.com\x1f" << ok << badEmail;
    QTest::newRow("recipient with TAB") << "Hello"
                                        << "bob\t@example.com" << ok << badEmail;

    QTest::newRow("port 0") << "Hello"
                            << "bob@example.com"
                            << "127.0.0.1:0" << badPort;
    QTest::newRow("port 65536") << "Hello"
                                << "bob@example.com"
                                << "127.0.0.1:65536" << badPort;
    QTest::newRow("port of six digits") << "Hello"
                                        << "bob@example.com"
                                        << "127.0.0.1:000025" << badPort;
    QTest::newRow("empty port") << "Hello"
                                << "bob@example.com"
                                << "127.0.0.1:" << badPort;
    QTest::newRow("port by name") << "Hello"
                                  << "bob@example.com"
                                  << "127.0.0.1:smtp" << badPort;
    QTest::newRow("negative port") << "Hello"
                                   << "bob@example.com"
                                   << "127.0.0.1:-25" << badPort;
    QTest::newRow("port with a sign") << "Hello"
                                      << "bob@example.com"
                                      << "127.0.0.1:+25" << badPort;
    QTest::newRow("port with a blank") << "Hello"
                                       << "bob@example.com"
                                       << "127.0.0.1: 25" << badPort;
    QTest::newRow("hexadecimal port") << "Hello"
                                      << "bob@example.com"
                                      << "127.0.0.1:0x19" << badPort;
    QTest::newRow("IPv6 with empty port") << "Hello"
                                          << "bob@example.com"
                                          << "[::1]:" << badPort;
    QTest::newRow("IPv6 with text after it") << "Hello"
                                             << "bob@example.com"
                                             << "[::1]25" << badPort;
    QTest::newRow("IPv6 without closing bracket") << "Hello"
                                                  << "bob@example.com"
                                                  << "[::1" << badPort;
}

void tst_TestClick::formFillErrors()
{
    QFETCH(QString, message);
    QFETCH(QString, email);
    QFETCH(QString, server);
    QFETCH(QString, reason);

    ScriptedServer listening(ScriptedServer::AcceptingScript(false));
    if (server.contains(QStringLiteral("%1")))
        server = server.arg(listening.address());

    // Should a run start after all, it is not left waiting for minutes.
    const int replyTimeoutMs = modQuendel_EmailClient::ReplyTimeoutMs;
    modQuendel_EmailClient::ReplyTimeoutMs = 2000;
    const auto restore =
        qScopeGuard([replyTimeoutMs] { modQuendel_EmailClient::ReplyTimeoutMs = replyTimeoutMs; });

    EngineRun run(EngineRun::On::Form);
    run.window().rtbStatus->SetText(QStringLiteral("the log of an earlier run\r\n"));
    run.fill(message, email, QStringLiteral("user"), QStringLiteral("secret"), server);
    run.clickTest();

    QCOMPARE(run.boxes().size(), 1);
    QCOMPARE(run.boxes().first().text, QStringLiteral("Form Fill Error!\r\n") + reason);
    QCOMPARE(run.boxes().first().style, 48);
    QCOMPARE(run.boxes().first().title, QStringLiteral("Vormant"));

    // Nothing started and nothing is lost.
    QVERIFY(!run.window().tmrEmail->isActive());
    QVERIFY(!run.window().EmailSock->Exists(1));
    QCOMPARE(run.window().rtbStatus->Text(), QStringLiteral("the log of an earlier run\r\n"));
    QCOMPARE(run.window().txtMessage->text(), message);
    QCOMPARE(run.window().txtEmail->text(), email);
    QCOMPARE(run.window().txtUser->text(), QStringLiteral("user"));
    QCOMPARE(run.window().txtPass->text(), QStringLiteral("secret"));
    QCOMPARE(run.window().txtServer->text(), server);
    QVERIFY(run.windowUnlocked()); // Test enabled again, fields editable and white
    QTest::qWait(100);
    QCOMPARE(listening.connections(), 0);
}

void tst_TestClick::blanksPassTheCheck()
{
    // Only an empty field is missing: blanks go to the server as typed.
    ScriptedServer server(ScriptedServer::AcceptingScript(false));
    EngineRun run(EngineRun::On::Form);
    run.fill(QStringLiteral(" "), QStringLiteral(" "), {}, {}, server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());
    QCOMPARE(server.commands(),
             (QList<QByteArray>{"HELO [127.0.0.1]", "MAIL FROM:<>", "RCPT TO:<>", "DATA", "QUIT"}));
    QCOMPARE(run.boxTexts(), QStringList{QStringLiteral("Email Sent")});
}

// While a run is on, the five fields are disabled and grey, Test is disabled
// and the monitor ticks every 100 ms; after it, the monitor is stopped. The
// grey is read from the screen too: the password box draws through its style
// sheet, the others through the style, and both must show the desktop's
// button face, here one that no style would pick for a disabled field.
void tst_TestClick::windowLockedDuringARun()
{
    const QPalette before = QApplication::palette();
    const auto restore = qScopeGuard([before] { QApplication::setPalette(before); });
    QPalette desktop = before;
    desktop.setColor(QPalette::Button, QColor(0xd4, 0xd0, 0xc8));
    QApplication::setPalette(desktop);

    QList<ScriptedServer::Turn> script = ScriptedServer::AcceptingScript(false);
    script.last().held = true; // the run stays on until the window has been seen
    ScriptedServer server(script);
    EngineRun run(EngineRun::On::Form);
    frmMain &window = run.window();
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), {}, {}, server.address());

    const std::array fields{window.txtMessage, window.txtEmail, window.txtUser, window.txtPass,
                            window.txtServer};
    const auto state = [&] {
        QStringList lines{QStringLiteral("Test enabled: %1").arg(window.cmdTest->isEnabled()),
                          QStringLiteral("monitor: %1, every %2 ms")
                              .arg(window.tmrEmail->isActive())
                              .arg(window.tmrEmail->interval())};
        for (QLineEdit *field : fields) {
            const QImage drawn = field->grab().toImage();
            lines << QStringLiteral("%1 enabled: %2, back colour %3, drawn %4")
                         .arg(field->accessibleName())
                         .arg(field->isEnabled())
                         .arg(BackColor(field), 0, 16)
                         .arg(drawn.pixelColor(drawn.width() - 6, drawn.height() / 2).name());
        }
        return lines;
    };
    QStringList duringRun;
    connect(&server, &ScriptedServer::holding, this, [&] {
        duringRun = state();
        server.release();
    });

    run.clickTest();
    QVERIFY(run.waitForRunEnd());

    const auto expected = [&](bool locked, int interval) {
        const QString grey = Colors::ToQColor(Colors::ButtonFace).name();
        QStringList lines{QStringLiteral("Test enabled: %1").arg(!locked),
                          QStringLiteral("monitor: %1, every %2 ms").arg(locked).arg(interval)};
        for (QLineEdit *field : fields)
            lines << QStringLiteral("%1 enabled: %2, back colour %3, drawn %4")
                         .arg(field->accessibleName())
                         .arg(!locked)
                         .arg(locked ? Colors::ButtonFace : Colors::White, 0, 16)
                         .arg(locked ? grey : QStringLiteral("#ffffff"));
        return lines;
    };
    QCOMPARE(duringRun, expected(true, 100));
    QCOMPARE(state(), expected(false, 0));
    QCOMPARE(run.boxTexts(), QStringList{QStringLiteral("Email Sent")});
}

QTEST_MAIN(tst_TestClick)
#include "tst_testclick.moc"
