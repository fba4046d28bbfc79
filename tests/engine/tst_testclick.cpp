#include "support/EngineRun.h"
#include "support/Expectations.h"
#include "support/ScriptedServer.h"

#include "platform/ThemeColor.h"
#include "util/Colors.h"

#include <QScopeGuard>
#include <QtTest>

// The window while the Test click's run is on: locked, and drawn so.
class tst_TestClick : public QObject
{
    Q_OBJECT
private slots:
    void windowLockedDuringARun();
};

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
    QCOMPARE(run.boxTexts(), Expect::Sent);
}

QTEST_MAIN(tst_TestClick)
#include "tst_testclick.moc"
