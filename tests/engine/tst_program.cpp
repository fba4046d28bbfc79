#include "support/ScriptedServer.h"
#include "support/XvfbDisplay.h"

#include "app/Twips.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

// The real program on a display of the test's own, typed into with xdotool:
// leaving it while a run waits on a server ends it at once, cleanly, and
// without a box.
class tst_Program : public QObject
{
    Q_OBJECT
private slots:
    void leavingDuringARun_data();
    void leavingDuringARun();
};

namespace {
// The window, once it shows; empty if it never does.
QString WaitForWindow(const XvfbDisplay &display)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 30000) {
        const QStringList windows = display.visibleWindows(QStringLiteral("Vormant"));
        if (windows.size() == 1)
            return windows.first();
        QTest::qWait(100);
    }
    return {};
}

bool Type(const XvfbDisplay &display, const QString &text)
{
    bool ok = false;
    display.xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), text},
                    &ok);
    return ok;
}

bool Keys(const XvfbDisplay &display, const QStringList &keys)
{
    bool ok = false;
    display.xdotool(QStringList{QStringLiteral("key")} + keys, &ok);
    return ok;
}
} // namespace

void tst_Program::leavingDuringARun_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<bool>("byExitButton"); // else the window is closed as a window manager would

    const Script silentGreeting{ScriptedServer::Silence()};
    const Script silentAfterHelo{ScriptedServer::Say("220 hello\r\n"), ScriptedServer::Silence()};
    QTest::newRow("Exit, no greeting yet") << silentGreeting << true;
    QTest::newRow("Exit, no reply to HELO yet") << silentAfterHelo << true;
    QTest::newRow("window closed, no greeting yet") << silentGreeting << false;
    QTest::newRow("window closed, no reply to HELO yet") << silentAfterHelo << false;
}

void tst_Program::leavingDuringARun()
{
    QFETCH(Script, script);
    QFETCH(bool, byExitButton);

    XvfbDisplay display;
    QVERIFY2(display.startError().isEmpty(), qPrintable(display.startError()));
    ScriptedServer server(script);

    QProcess program;
    program.setProcessEnvironment(display.environment());
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(qEnvironmentVariable("VORMANT_BINARY"), {});
    QVERIFY2(program.waitForStarted(30000), qPrintable(program.errorString()));
    const QString window = WaitForWindow(display);
    QVERIFY(!window.isEmpty());

    // The five fields in their Tab order, then Test.
    bool focused = false;
    display.xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window}, &focused);
    QVERIFY(focused);
    QVERIFY(Type(display, QStringLiteral("Hello")));
    QVERIFY(Keys(display, {QStringLiteral("Tab")}));
    QVERIFY(Type(display, QStringLiteral("bob@example.com")));
    QVERIFY(Keys(display, {QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("Tab")}));
    QVERIFY(Type(display, server.address()));
    QVERIFY(Keys(display, {QStringLiteral("Tab"), QStringLiteral("space")}));

    QTRY_COMPARE_WITH_TIMEOUT(server.connections(), 1, 30000);
    if (script.size() > 1)
        QTRY_COMPARE_WITH_TIMEOUT(server.commands(), QList<QByteArray>{"HELO [127.0.0.1]"}, 30000);
    QTest::qWait(300);
    QCOMPARE(program.state(), QProcess::Running); // the run is waiting
    QCOMPARE(display.visibleWindows(QStringLiteral("Vormant")), QStringList{window}); // no box

    bool asked = false;
    if (byExitButton) {
        // The middle of Exit, inside the frame.
        const QPoint exit =
            TwipsRect(120, 120, 0, 0).topLeft() + TwipsRect(5280, 840, 975, 375).center();
        display.xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                         QString::number(exit.x()), QString::number(exit.y()),
                         QStringLiteral("click"), QStringLiteral("1")},
                        &asked);
    } else {
        display.run(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral(VORMANT_TEST_SUPPORT_DIR "/x11_close_window.py"), window},
                    &asked);
    }
    QVERIFY(asked);

    // At once: the server would stay silent for good, and the engine's own
    // limit is minutes away.
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(server.peerClosed(), 10000);
}

QTEST_MAIN(tst_Program)
#include "tst_program.moc"
