#include "platform/TcpPeer.h"

#include "app/frmMain.h"
#include "engine/modQuendel_EmailClient.h"
#include "platform/MessageBox.h"
#include "support/TestServices.h"

#include <QSignalSpy>
#include <QtTest>
#include <functional>
#include <memory>
#include <optional>

// The shut-down that every way of closing the window runs: it releases a
// waiting run, closes every socket element and ends the program, here
// recorded instead of ending the test.
class tst_ShutDown : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void everyWayOfClosingShutsDown_data();
    void everyWayOfClosingShutsDown();
    void releasesAWaitingRun();
    void untrappedErrorEndsTheProgram_data();
    void untrappedErrorEndsTheProgram();

private:
    struct AtEnd
    {
        bool stepDone = false;
        QList<SocketState> states;
        QWidget *focus = nullptr;
    };

    std::optional<TestServices> services;
    std::unique_ptr<frmMain> window;
    QList<AtEnd> ends;
    QStringList boxes;
};

namespace {
using CloseWay = std::function<void(frmMain &)>;
using Trigger = std::function<void(frmMain &, TcpPeer &)>;
} // namespace

void tst_ShutDown::init()
{
    ends.clear();
    boxes.clear();
    services.emplace();
    window = std::make_unique<frmMain>();
    services->atProgramEnd = [this] {
        AtEnd end;
        end.stepDone = modQuendel_EmailClient::StepDone;
        for (std::int16_t index : window->EmailSock->Indexes())
            end.states << (*window->EmailSock)(index).State();
        end.focus = QApplication::focusWidget();
        ends << end;
    };
    services->whileBoxOpen = [this](const TestServices::Box &box) { boxes << box.text; };
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
}

void tst_ShutDown::cleanup()
{
    window.reset();
    services.reset();
}

void tst_ShutDown::everyWayOfClosingShutsDown_data()
{
    QTest::addColumn<CloseWay>("closeWindow");
    QTest::addColumn<bool>("focusParked");
    QTest::newRow("unload") << CloseWay([](frmMain &w) { w.Form_Unload(); }) << false;
    QTest::newRow("Exit clicked") << CloseWay([](frmMain &w) {
        QTest::mouseClick(w.cmdExit, Qt::LeftButton);
    }) << true;
    QTest::newRow("Exit by keyboard") << CloseWay([](frmMain &w) {
        w.cmdExit->setFocus();
        QTest::keyClick(w.cmdExit, Qt::Key_Space);
    }) << true;
    QTest::newRow("window closed") << CloseWay([](frmMain &w) { w.close(); }) << false;
    QTest::newRow("platform window closed")
        << CloseWay([](frmMain &w) { w.windowHandle()->close(); }) << false;
}

// Elements 0 to 2 are connected and element 3 is loaded but idle; whichever
// way the window goes, all end closed, nothing is reported, and the program
// end comes exactly once, after StepDone has been set.
void tst_ShutDown::everyWayOfClosingShutsDown()
{
    QFETCH(CloseWay, closeWindow);
    QFETCH(bool, focusParked);
    TcpPeer peer;
    SocketArray &sockets = *window->EmailSock;
    QList<QTcpSocket *> clients;
    QSignalSpy connects(&sockets, &SocketArray::Connect);
    for (std::int16_t index : {0, 1, 2}) {
        if (index != 0)
            sockets.Load(index);
        sockets(index).RemoteHost = QStringLiteral("127.0.0.1");
        sockets(index).RemotePort = peer.port();
        sockets(index).Connect();
        QTRY_COMPARE_WITH_TIMEOUT(connects.count(), index + 1, 10000);
        clients << peer.waitForClient();
        QVERIFY(clients.last());
    }
    sockets.Load(3);
    QSignalSpy closes(&sockets, &SocketArray::Close);
    QSignalSpy errors(&sockets, &SocketArray::Error);
    modQuendel_EmailClient::StepDone = false;

    closeWindow(*window);

    QCOMPARE(ends.size(), 1);
    QVERIFY(ends.first().stepDone);
    QCOMPARE(ends.first().states, QList<SocketState>(4, SocketState::Closed));
    if (focusParked)
        QCOMPARE(ends.first().focus, static_cast<QWidget *>(window->txtOver));
    for (QTcpSocket *client : clients)
        QVERIFY(TcpPeer::waitForClientGone(client));
    QCoreApplication::processEvents();
    QCOMPARE(closes.count(), 0);
    QCOMPARE(errors.count(), 0);
    QCOMPARE(boxes, QStringList());
    QCOMPARE(ends.size(), 1);
}

// A run waiting for a server that never answers is let go by the shut-down.
void tst_ShutDown::releasesAWaitingRun()
{
    bool releasedByGuard = false;
    modQuendel_EmailClient::StepDone = false;
    QTimer::singleShot(0, window.get(), [this] { window->cmdExit_Click(); });
    QTimer::singleShot(30000, window.get(), [&releasedByGuard] {
        releasedByGuard = !modQuendel_EmailClient::StepDone;
        modQuendel_EmailClient::StepDone = true;
    });

    modQuendel_EmailClient::WaitStepDone();

    QVERIFY(!releasedByGuard);
    QCOMPARE(ends.size(), 1);
    QVERIFY(ends.first().stepDone);
}

// An error that the routine Qt called does not trap, whatever kind of event
// called it, ends in the run-time error box and the end of the program; it
// never unwinds through Qt (which would end the test in std::terminate). The window here is not the
// engine's window, so the engine's first reach for it raises error 91.
void tst_ShutDown::untrappedErrorEndsTheProgram_data()
{
    QTest::addColumn<Trigger>("trigger");
    QTest::newRow("Test clicked") << Trigger([](frmMain &w, TcpPeer &) {
        w.txtMessage->setText(QStringLiteral("Hello"));
        w.txtEmail->setText(QStringLiteral("bob@example.com"));
        w.txtServer->setText(QStringLiteral("127.0.0.1"));
        QTest::mouseClick(w.cmdTest, Qt::LeftButton);
    });
    QTest::newRow("monitor tick") << Trigger([](frmMain &w, TcpPeer &) {
        w.tmrEmail->setSingleShot(true);
        w.tmrEmail->start(0);
    });
    QTest::newRow("server closes") << Trigger([](frmMain &w, TcpPeer &peer) {
        SocketArray &sockets = *w.EmailSock;
        sockets.Load(1);
        sockets(1).RemoteHost = QStringLiteral("127.0.0.1");
        sockets(1).RemotePort = peer.port();
        sockets(1).Connect();
        if (QTcpSocket *client = peer.waitForClient())
            client->close();
    });
}

void tst_ShutDown::untrappedErrorEndsTheProgram()
{
    QFETCH(Trigger, trigger);
    QList<int> styles;
    services->whileBoxOpen = [&](const TestServices::Box &box) {
        boxes << box.text;
        styles << box.style;
    };
    TcpPeer peer;

    trigger(*window, peer);

    QTRY_COMPARE_WITH_TIMEOUT(ends.size(), 1, 10000);
    QCOMPARE(boxes, QStringList{QStringLiteral("Run-time error '91':\r\n\r\nObject variable or "
                                               "With block variable not set")});
    QCOMPARE(styles, QList<int>{MsgBoxStyle::Critical});
    window->tmrEmail->stop();
}

QTEST_MAIN(tst_ShutDown)
#include "tst_shutdown.moc"
