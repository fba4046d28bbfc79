#include "TcpPeer.h"

#include "platform/SocketArray.h"
#include "support/PeerSocket.h"
#include "util/RuntimeError.h"

#include <QSignalSpy>
#include <QtTest>
#include <functional>

// The socket array: elements loaded and unloaded by index, element 0 as the
// model of the others, and every event tagged with the index of its element.
class tst_SocketArray : public QObject
{
    Q_OBJECT
private slots:
    void startsWithElementZeroOnly();
    void loadedElementCopiesElementZero();
    void unloadRemovesOneElement();
    void badIndexesRaise_data();
    void badIndexesRaise();
    void eventsCarryTheirIndex_data();
    void eventsCarryTheirIndex();
    void unloadClosesTheConnectionSilently();
    void unloadFromTheElementsOwnEvent();
    void playedPeerIsSilentAfterItsEnd_data();
    void playedPeerIsSilentAfterItsEnd();
};

namespace {
using Indexes = QList<std::int16_t>;

int RaisedNumber(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const RuntimeError &error) {
        return error.number();
    }
    return 0;
}
} // namespace

void tst_SocketArray::startsWithElementZeroOnly()
{
    SocketArray array;
    QCOMPARE(array.Indexes(), Indexes{0});
    const SocketElement &model = array(0);
    QCOMPARE(model.State(), SocketState::Closed);
    QCOMPARE(model.RemoteHost, QString());
    QCOMPARE(model.RemotePort, 0);
    QCOMPARE(model.LocalPort, 0);
}

void tst_SocketArray::loadedElementCopiesElementZero()
{
    SocketArray array;
    array(0).RemoteHost = QStringLiteral("mail.example.org");
    array(0).RemotePort = 25;
    array.Load(1);

    QCOMPARE(array.Indexes(), (Indexes{0, 1}));
    QCOMPARE(array(1).State(), SocketState::Closed);
    QCOMPARE(array(1).RemoteHost, QStringLiteral("mail.example.org"));
    QCOMPARE(array(1).RemotePort, 25);
    QVERIFY(&array(1) != &array(0));

    array(1).RemoteHost = QStringLiteral("other.example.org");
    QCOMPARE(array(0).RemoteHost, QStringLiteral("mail.example.org"));
}

void tst_SocketArray::unloadRemovesOneElement()
{
    SocketArray array;
    array.Load(1);
    array.Load(2);
    array(1).RemoteHost = QStringLiteral("old.example.org");
    array.Unload(1);

    QCOMPARE(array.Indexes(), (Indexes{0, 2}));
    QVERIFY(!array.Exists(1));
    QCOMPARE(RaisedNumber([&] { array(1); }), ErrorNumber::ControlArrayElementMissing);

    // A new element under the old index starts afresh from element 0.
    array.Load(1);
    QCOMPARE(array(1).RemoteHost, QString());
    QCOMPARE(array.Indexes(), (Indexes{0, 1, 2}));
}

void tst_SocketArray::badIndexesRaise_data()
{
    QTest::addColumn<std::function<void(SocketArray &)>>("operation");
    QTest::addColumn<int>("number");

    using Op = std::function<void(SocketArray &)>;
    QTest::newRow("load element 0 again") << Op([](SocketArray &a) { a.Load(0); }) << 360;
    QTest::newRow("load a loaded element") << Op([](SocketArray &a) { a.Load(1); }) << 360;
    QTest::newRow("address a missing element") << Op([](SocketArray &a) { a(5).Close(); }) << 340;
    QTest::newRow("address a negative index") << Op([](SocketArray &a) { a(-1).Close(); }) << 340;
    QTest::newRow("unload a missing element") << Op([](SocketArray &a) { a.Unload(5); }) << 340;
    QTest::newRow("unload element 0") << Op([](SocketArray &a) { a.Unload(0); }) << 362;
    QTest::newRow("load a negative index") << Op([](SocketArray &a) { a.Load(-1); }) << 9;
}

void tst_SocketArray::badIndexesRaise()
{
    QFETCH(std::function<void(SocketArray &)>, operation);
    QFETCH(int, number);
    SocketArray array;
    array.Load(1);
    array(1).RemoteHost = QStringLiteral("kept.example.org");

    QCOMPARE(RaisedNumber([&] { operation(array); }), number);
    // The array is as it was.
    QCOMPARE(array.Indexes(), (Indexes{0, 1}));
    QCOMPARE(array(1).RemoteHost, QStringLiteral("kept.example.org"));
}

void tst_SocketArray::eventsCarryTheirIndex_data()
{
    QTest::addColumn<std::int16_t>("index");
    QTest::addColumn<std::int16_t>("failing");
    QTest::newRow("1, beside 2") << std::int16_t(1) << std::int16_t(2);
    QTest::newRow("2, beside 1") << std::int16_t(2) << std::int16_t(1);
    QTest::newRow("100, beside 7") << std::int16_t(100) << std::int16_t(7);
    QTest::newRow("32767, beside 0") << std::int16_t(32767) << std::int16_t(0);
}

// One element talks to a server while another fails to connect; each event
// names the element it comes from.
void tst_SocketArray::eventsCarryTheirIndex()
{
    QFETCH(std::int16_t, index);
    QFETCH(std::int16_t, failing);
    TcpPeer peer;
    SocketArray array;
    for (std::int16_t i : {index, failing})
        if (!array.Exists(i))
            array.Load(i);
    QSignalSpy connects(&array, &SocketArray::Connect);
    QSignalSpy arrivals(&array, &SocketArray::DataArrival);
    QSignalSpy closes(&array, &SocketArray::Close);
    QSignalSpy errors(&array, &SocketArray::Error);
    QSignalSpy progress(&array, &SocketArray::SendProgress);

    array(failing).RemoteHost = QStringLiteral("127.0.0.1");
    array(failing).RemotePort = TcpPeer::ClosedPort();
    array(failing).Connect();
    array(index).RemoteHost = QStringLiteral("127.0.0.1");
    array(index).RemotePort = peer.port();
    array(index).Connect();

    QTRY_COMPARE_WITH_TIMEOUT(connects.count(), 1, 10000);
    QCOMPARE(connects.at(0).at(0).value<std::int16_t>(), index);
    QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 10000);
    QCOMPARE(errors.at(0).at(0).value<std::int16_t>(), failing);
    QCOMPARE(array(failing).State(), SocketState::Error);

    array(index).SendData(QStringLiteral("QUIT\r\n"));
    QTRY_VERIFY_WITH_TIMEOUT(!progress.isEmpty(), 10000);
    QCOMPARE(progress.at(0).at(0).value<std::int16_t>(), index);
    QCOMPARE(progress.at(0).at(1).toInt(), 6);

    QTcpSocket *client = peer.waitForClient();
    QVERIFY(client);
    client->write("221 Bye\r\n");
    client->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(closes.count(), 1, 10000);
    QCOMPARE(arrivals.count(), 1);
    QCOMPARE(arrivals.at(0).at(0).value<std::int16_t>(), index);
    QCOMPARE(arrivals.at(0).at(1).toInt(), 9);
    QCOMPARE(closes.at(0).at(0).value<std::int16_t>(), index);
    QCOMPARE(array(index).GetData(), QStringLiteral("221 Bye\r\n"));
    QCOMPARE(errors.count(), 1);

    // The end of a handshake too, on an element the array's maker made (a
    // peer played by the test here).
    QSignalSpy encrypted(&array, &SocketArray::Encrypted);
    array.SetElementMaker([](QObject *parent) { return new PeerSocket(parent); });
    const std::int16_t played = 90;
    array.Load(played);
    auto &playedPeer = dynamic_cast<PeerSocket &>(array(played));
    playedPeer.Connect();
    QTRY_VERIFY_WITH_TIMEOUT(playedPeer.State() == SocketState::Connected, 10000);
    playedPeer.StartClientEncryption(QStringLiteral("localhost"));
    playedPeer.PeerEncrypted(TlsReport{});
    QCOMPARE(encrypted.count(), 1);
    QCOMPARE(encrypted.at(0).at(0).value<std::int16_t>(), played);
}

void tst_SocketArray::unloadClosesTheConnectionSilently()
{
    TcpPeer peer;
    SocketArray array;
    array.Load(1);
    QSignalSpy closes(&array, &SocketArray::Close);
    QSignalSpy errors(&array, &SocketArray::Error);
    QSignalSpy connects(&array, &SocketArray::Connect);
    array(1).RemoteHost = QStringLiteral("127.0.0.1");
    array(1).RemotePort = peer.port();
    array(1).Connect();
    QTRY_COMPARE_WITH_TIMEOUT(connects.count(), 1, 10000);
    QTcpSocket *client = peer.waitForClient();
    QVERIFY(client);

    array.Unload(1);
    QCOMPARE(array.Indexes(), Indexes{0});
    QVERIFY(TcpPeer::waitForClientGone(client));
    QCoreApplication::processEvents();
    QCOMPARE(closes.count(), 0);
    QCOMPARE(errors.count(), 0);
}

// The engine unloads an element from inside that element's own event.
void tst_SocketArray::unloadFromTheElementsOwnEvent()
{
    TcpPeer peer;
    SocketArray array;
    array.Load(1);
    QSignalSpy arrivals(&array, &SocketArray::DataArrival);
    QSignalSpy closes(&array, &SocketArray::Close);
    connect(&array, &SocketArray::DataArrival, this,
            [&array](std::int16_t index) { array.Unload(index); });
    QSignalSpy connects(&array, &SocketArray::Connect);
    array(1).RemoteHost = QStringLiteral("127.0.0.1");
    array(1).RemotePort = peer.port();
    array(1).Connect();
    QTRY_COMPARE_WITH_TIMEOUT(connects.count(), 1, 10000);
    QTcpSocket *client = peer.waitForClient();
    QVERIFY(client);

    client->write("554 go away\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(arrivals.count(), 1, 10000);
    QCOMPARE(array.Indexes(), Indexes{0});
    client->write("more\r\n");
    QVERIFY(TcpPeer::waitForClientGone(client));
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(arrivals.count(), 1);
    QCOMPARE(closes.count(), 0);
}

QTEST_MAIN(tst_SocketArray)
#include "tst_socketarray.moc"

// The played peer keeps the element's rules, so that what a test or the
// fuzzer plays can happen on a real connection: after Close, or after one
// failure, nothing more is heard from the server.
void tst_SocketArray::playedPeerIsSilentAfterItsEnd_data()
{
    QTest::addColumn<bool>("failFirst");
    QTest::addColumn<int>("late"); // 0 data, 1 close, 2 failure, 3 end of a handshake
    for (const bool failFirst : {false, true}) {
        const char *end = failFirst ? "failure" : "Close";
        QTest::addRow("data after %s", end) << failFirst << 0;
        QTest::addRow("peer close after %s", end) << failFirst << 1;
        QTest::addRow("failure after %s", end) << failFirst << 2;
        QTest::addRow("handshake end after %s", end) << failFirst << 3;
    }
}

void tst_SocketArray::playedPeerIsSilentAfterItsEnd()
{
    QFETCH(bool, failFirst);
    QFETCH(int, late);
    PeerSocket peer(nullptr);
    peer.Connect();
    QTRY_VERIFY_WITH_TIMEOUT(peer.State() == SocketState::Connected, 10000);
    peer.StartClientEncryption(QStringLiteral("localhost"));
    if (failFirst)
        peer.Fail(QAbstractSocket::RemoteHostClosedError, QStringLiteral("closed"));
    else
        peer.Close();
    const SocketState stateAtEnd = peer.State();

    QSignalSpy arrivals(&peer, &SocketElement::dataArrival);
    QSignalSpy closes(&peer, &SocketElement::peerClosed);
    QSignalSpy errors(&peer, &SocketElement::error);
    QSignalSpy encrypted(&peer, &SocketElement::encrypted);
    if (late == 0)
        peer.Receive("221 Bye\r\n");
    else if (late == 1)
        peer.PeerClose();
    else if (late == 2)
        peer.Fail(QAbstractSocket::UnknownSocketError, QStringLiteral("aborted"));
    else
        peer.PeerEncrypted(TlsReport{});
    QCoreApplication::processEvents();

    QCOMPARE(arrivals.count() + closes.count() + errors.count() + encrypted.count(), 0);
    QCOMPARE(peer.State(), stateAtEnd);
    QCOMPARE(peer.GetData(), QString());
}
