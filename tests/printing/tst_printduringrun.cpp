#include "printing/RecordingPrinter.h"
#include "printing/ScriptedPrintDialog.h"

#include "support/EngineRun.h"
#include "support/Expectations.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

// Print while a test run is waiting for its server: the log is printed as it
// stands, and the run goes on to its end.
class tst_PrintDuringRun : public QObject
{
    Q_OBJECT
private slots:
    void printWhileTheEngineWaits_data();
    void printWhileTheEngineWaits();
};

namespace {
// An SMTP server that keeps its greeting back until it is released, then
// accepts everything.
class HeldServer : public QObject
{
    Q_OBJECT
public:
    HeldServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            m_peer = m_server.nextPendingConnection();
            connect(m_peer, &QTcpSocket::readyRead, this, &HeldServer::answer);
            emit connected();
        });
        m_server.listen(QHostAddress::LocalHost, 0);
    }

    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }
    bool quitReceived() const { return m_commands.contains("QUIT"); }

    void release()
    {
        if (m_peer && !m_released)
            m_peer->write("220 held ESMTP\r\n");
        m_released = true;
    }

signals:
    void connected();

private:
    void answer()
    {
        m_unread += m_peer->readAll();
        for (qsizetype end = m_unread.indexOf("\r\n"); end >= 0; end = m_unread.indexOf("\r\n")) {
            const QByteArray line = m_unread.left(end);
            m_unread.remove(0, end + 2);
            if (m_inData) {
                if (line == ".") {
                    m_inData = false;
                    m_peer->write("250 2.0.0 Ok: queued\r\n");
                }
                continue;
            }
            m_commands.append(line);
            if (line == "DATA") {
                m_inData = true;
                m_peer->write("354 End data with <CR><LF>.<CR><LF>\r\n");
            } else if (line == "QUIT") {
                m_peer->write("221 2.0.0 Bye\r\n");
                m_peer->disconnectFromHost();
            } else {
                m_peer->write("250 Ok\r\n");
            }
        }
    }

    QTcpServer m_server;
    QPointer<QTcpSocket> m_peer;
    QByteArray m_unread;
    QList<QByteArray> m_commands;
    bool m_released = false;
    bool m_inData = false;
};
} // namespace

void tst_PrintDuringRun::printWhileTheEngineWaits_data()
{
    QTest::addColumn<bool>("releaseWhileDialogOpen");
    QTest::newRow("server answers after the Print command") << false;
    QTest::newRow("server answers while the dialog is open") << true;
}

void tst_PrintDuringRun::printWhileTheEngineWaits()
{
    QFETCH(bool, releaseWhileDialogOpen);

    HeldServer server;
    EngineRun run(EngineRun::On::Form); // records the boxes, so none is modal
    QStringList events;
    RecordingPrinter printer(events, {{QStringLiteral("Home"), {}, {}, 7}}, QStringLiteral("Home"));
    const SubstitutedPrinting substituted(run.services(), printer);
    StatusLog &log = *run.window().rtbStatus;

    QString logWhenDialogCloses;
    DialogScript script;
    script.printerName = QStringLiteral("Home");
    script.whileOpen = [&] {
        if (releaseWhileDialogOpen) {
            // A modal dialog runs the event loop: the dialogue goes on meanwhile.
            server.release();
            QTRY_VERIFY_WITH_TIMEOUT(log.Text().contains(QStringLiteral("221 2.0.0 Bye")), 20000);
        }
        logWhenDialogCloses = log.Text();
    };
    ScriptedDialogs dialogs(run.services(), {script}, events);
    bool printed = false;
    connect(&server, &HeldServer::connected, this, [&] {
        QTimer::singleShot(0, &run.window(), [&] {
            run.window().Command1_Click();
            printed = true;
            server.release();
        });
    });

    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), {}, {}, server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());

    QVERIFY(printed);
    // The tool's own notes are printed with the rest, as plain text.
    const QStringList lines = run.logLines();
    QCOMPARE(lines.mid(0, 2), (QStringList{QStringLiteral("W:Connecting to SMTP Server, please "
                                                          "wait .."),
                                           Expect::ConnectedNote}));
    if (!releaseWhileDialogOpen)
        QCOMPARE(logWhenDialogCloses,
                 log.Text().section(QStringLiteral("\r\n"), 0, 1) + QStringLiteral("\r\n"));
    QCOMPARE(events.filter(QStringLiteral("Print@")),
             QStringList{QStringLiteral("Print@Home:") + logWhenDialogCloses});
    QVERIFY(events.contains(QStringLiteral("EndDoc@Home")));
    // The run went on to its end as if nothing had happened.
    QVERIFY(server.quitReceived());
    QCOMPARE(lines.mid(lines.size() - 4),
             (QStringList{"W:QUIT", "Y:221 2.0.0 Bye", "", Expect::TookNote}));
    QVERIFY(log.Text().endsWith(QStringLiteral("\r\n")));
    QCOMPARE(run.boxTexts(), Expect::Sent);
    QVERIFY(run.windowUnlocked());
}

QTEST_MAIN(tst_PrintDuringRun)
#include "tst_printduringrun.moc"
