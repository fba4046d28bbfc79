#include "TcpPeer.h"

#include "platform/Winsock.h"
#include "support/ScriptedServer.h"
#include "support/TestCertificates.h"
#include "support/TestServices.h"
#include "util/RuntimeError.h"

#include <QSignalSpy>
#include <QtTest>
#include <memory>

// One socket element against a real listening socket on the loopback: the
// states it reports, what it reads and writes, and how it fails.
class tst_Winsock : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void stateSequenceOfAConnection_data();
    void stateSequenceOfAConnection();
    void replyIsReadAsItArrives();
    void unreadDataAccumulates();
    void characterSplitAcrossPieces_data();
    void characterSplitAcrossPieces();
    void sendDataKeepsOrder();
    void replyBeforePeerCloseIsKept();
    void closeEndsTheConnectionSilently();
    void closeWhileConnectingRaisesNothingLater();
    void elementCanConnectAgainAfterClose();
    void failedConnection_data();
    void failedConnection();
    void badArgumentsAreRefused_data();
    void badArgumentsAreRefused();
    void operationsInTheWrongState();
    void encryptedSession_data();
    void encryptedSession();
    void failedHandshake_data();
    void failedHandshake();
    void plainBytesBeforeEncryptionAreRefused_data();
    void plainBytesBeforeEncryptionAreRefused();

private:
    // Handshakes keep their sessions there.
    TestServices m_services;
    std::unique_ptr<TestCertificates> m_certificates;
};

namespace {
// A failed handshake that ends in nothing at all (Qt's values start at -1).
constexpr int NoOutcome = -2;

bool InProgress(SocketState state)
{
    return state == SocketState::ConnectionPending || state == SocketState::ResolvingHost ||
           state == SocketState::HostResolved || state == SocketState::Connecting;
}

// Connects the element to the peer and returns the server side.
QTcpSocket *Connected(Winsock &socket, TcpPeer &peer)
{
    QSignalSpy connected(&socket, &Winsock::connected);
    socket.RemoteHost = QStringLiteral("127.0.0.1");
    socket.RemotePort = peer.port();
    socket.Connect();
    if (!connected.wait(10000))
        return nullptr;
    return peer.waitForClient();
}

using Kind = TestCertificates::Kind;
using Trust = TlsReport::Trust;

// The events of an element, in order, by name.
QStringList &RecordEvents(Winsock &socket, QStringList &events)
{
    QObject::connect(&socket, &Winsock::connected, &socket, [&] { events << "connect"; });
    QObject::connect(&socket, &Winsock::encrypted, &socket, [&] { events << "encrypted"; });
    QObject::connect(&socket, &Winsock::dataArrival, &socket, [&] { events << "data"; });
    QObject::connect(&socket, &Winsock::peerClosed, &socket, [&] { events << "close"; });
    QObject::connect(&socket, &Winsock::error, &socket, [&] { events << "error"; });
    return events;
}

// The STARTTLS dialogue up to the handshake: greeting, STARTTLS, its "220".
// With implicit TLS, only the connection; the handshake starts by itself.
bool OpenForTls(Winsock &socket, const ScriptedServer &server, const QString &host, bool implicit)
{
    QSignalSpy arrivals(&socket, &Winsock::dataArrival);
    socket.RemoteHost = host;
    socket.RemotePort = server.port();
    if (implicit) {
        socket.ConnectEncrypted();
        return true;
    }
    socket.Connect();
    if (!arrivals.wait(10000) || socket.GetData() != QStringLiteral("220 plain\r\n"))
        return false;
    socket.SendData(QStringLiteral("STARTTLS\r\n"));
    return QTest::qWaitFor([&] { return socket.BytesReceived() > 0; }, 10000);
}
} // namespace

void tst_Winsock::initTestCase()
{
    // Qt loads its TLS backend at run time: without it no handshake is possible.
    QVERIFY2(QSslSocket::supportsSsl(), qPrintable(QSslSocket::sslLibraryVersionString()));
    QCOMPARE(QSslSocket::activeBackend(), QStringLiteral("openssl"));
    m_certificates = std::make_unique<TestCertificates>();
    QVERIFY2(m_certificates->error().isEmpty(), qPrintable(m_certificates->error()));
}

void tst_Winsock::stateSequenceOfAConnection_data()
{
    QTest::addColumn<QString>("host");
    QTest::newRow("IPv4 address") << QStringLiteral("127.0.0.1");
    QTest::newRow("host name") << QStringLiteral("localhost");
}

void tst_Winsock::stateSequenceOfAConnection()
{
    QFETCH(QString, host);
    TcpPeer peer;
    Winsock socket;
    QSignalSpy errors(&socket, &Winsock::error);
    SocketState atConnect = SocketState::Closed;
    SocketState atPeerClose = SocketState::Closed;
    connect(&socket, &Winsock::connected, this, [&] { atConnect = socket.State(); });
    connect(&socket, &Winsock::peerClosed, this, [&] { atPeerClose = socket.State(); });
    QSignalSpy connected(&socket, &Winsock::connected);
    QSignalSpy peerClosed(&socket, &Winsock::peerClosed);

    QCOMPARE(socket.State(), SocketState::Closed);
    socket.RemoteHost = host;
    socket.RemotePort = peer.port();
    socket.Connect();
    QVERIFY2(InProgress(socket.State()), qPrintable(QString::number(int(socket.State()))));

    QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, 10000);
    QCOMPARE(atConnect, SocketState::Connected);
    QCOMPARE(socket.State(), SocketState::Connected);

    QTcpSocket *client = peer.waitForClient();
    QVERIFY(client);
    client->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(peerClosed.count(), 1, 10000);
    QCOMPARE(atPeerClose, SocketState::Closing);
    QCOMPARE(socket.State(), SocketState::Closing);

    socket.Close();
    QCOMPARE(socket.State(), SocketState::Closed);
    QCOMPARE(errors.count(), 0);
}

void tst_Winsock::replyIsReadAsItArrives()
{
    TcpPeer peer;
    Winsock socket;
    QSignalSpy arrivals(&socket, &Winsock::dataArrival);
    QTcpSocket *client = Connected(socket, peer);
    QVERIFY(client);

    client->write("220 mail.exa");
    QTRY_COMPARE_WITH_TIMEOUT(arrivals.count(), 1, 10000);
    QCOMPARE(arrivals.at(0).at(0).toInt(), 12);
    QCOMPARE(socket.GetData(), QStringLiteral("220 mail.exa"));
    QCOMPARE(socket.BytesReceived(), 0);
    QCOMPARE(socket.GetData(), QString());

    client->write("mple ESMTP\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(arrivals.count(), 2, 10000);
    QCOMPARE(arrivals.at(1).at(0).toInt(), 12);
    QCOMPARE(socket.GetData(), QStringLiteral("mple ESMTP\r\n"));
    QCOMPARE(socket.GetData(), QString());
}

void tst_Winsock::unreadDataAccumulates()
{
    TcpPeer peer;
    Winsock socket;
    QSignalSpy arrivals(&socket, &Winsock::dataArrival);
    QTcpSocket *client = Connected(socket, peer);
    QVERIFY(client);

    client->write("250-first\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(arrivals.count(), 1, 10000);
    client->write("250 second\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(arrivals.count(), 2, 10000);

    // Each event counts everything that waits, not just the newest piece.
    QCOMPARE(arrivals.at(1).at(0).toInt(), 23);
    QCOMPARE(socket.GetData(), QStringLiteral("250-first\r\n250 second\r\n"));
    QCOMPARE(socket.BytesReceived(), 0);
}

void tst_Winsock::characterSplitAcrossPieces_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<QString>("readFirst");
    QTest::addColumn<QString>("readSecond");

    QTest::newRow("two-byte character") << QByteArray("caf\xC3") << QByteArray("\xA9 ok")
                                        << QStringLiteral("caf") << QStringLiteral("\u00E9 ok");
    QTest::newRow("three bytes, split after one")
        << QByteArray("\xE2") << QByteArray("\x82\xAC") << QString() << QStringLiteral("\u20AC");
    QTest::newRow("three bytes, split after two")
        << QByteArray("x\xE2\x82") << QByteArray("\xACy") << QStringLiteral("x")
        << QStringLiteral("\u20ACy");
    QTest::newRow("four-byte character") << QByteArray("\xF0\x9F") << QByteArray("\x93\xA7.")
                                         << QString() << QString::fromUtf8("\xF0\x9F\x93\xA7.");
    // A byte that is no UTF-8 at all shows as a replacement character; the
    // text around it is kept whole.
    QTest::newRow("invalid byte") << QByteArray("a\xFF"
                                                "b")
                                  << QByteArray("c") << QStringLiteral("a\uFFFDb")
                                  << QStringLiteral("c");
}

void tst_Winsock::characterSplitAcrossPieces()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(QString, readFirst);
    QFETCH(QString, readSecond);
    TcpPeer peer;
    Winsock socket;
    QSignalSpy arrivals(&socket, &Winsock::dataArrival);
    QTcpSocket *client = Connected(socket, peer);
    QVERIFY(client);

    client->write(first);
    QTRY_COMPARE_WITH_TIMEOUT(arrivals.count(), 1, 10000);
    QCOMPARE(socket.GetData(), readFirst);
    client->write(second);
    QTRY_COMPARE_WITH_TIMEOUT(arrivals.count(), 2, 10000);
    QCOMPARE(socket.GetData(), readSecond);
}

void tst_Winsock::sendDataKeepsOrder()
{
    TcpPeer peer;
    Winsock socket;
    QSignalSpy progress(&socket, &Winsock::sendProgress);
    QVERIFY(Connected(socket, peer));

    const QStringList commands{
        QStringLiteral("HELO bob\r\n"), QStringLiteral("MAIL FROM:Admin\r\n"),
        QStringLiteral("RCPT TO:j\u00FCrgen@example.com\r\n"), QStringLiteral("DATA\r\n")};
    for (const QString &command : commands)
        socket.SendData(command);

    const QByteArray expected = commands.join(QString()).toUtf8();
    QVERIFY(peer.waitForReceived(expected.size()));
    QCOMPARE(peer.received(), expected);

    QTRY_VERIFY_WITH_TIMEOUT(!progress.isEmpty() && progress.last().at(1).toInt() == 0, 10000);
    qint64 sent = 0;
    for (const QList<QVariant> &event : progress)
        sent += event.at(0).toInt();
    QCOMPARE(sent, expected.size());
}

// A server that says goodbye and hangs up at once: the goodbye is still read,
// and it is announced before the close.
void tst_Winsock::replyBeforePeerCloseIsKept()
{
    TcpPeer peer;
    Winsock socket;
    QStringList events;
    QString readAtClose;
    connect(&socket, &Winsock::dataArrival, this, [&] { events << QStringLiteral("data"); });
    connect(&socket, &Winsock::peerClosed, this, [&] {
        events << QStringLiteral("close");
        readAtClose = socket.GetData();
    });
    QTcpSocket *client = Connected(socket, peer);
    QVERIFY(client);

    client->write("221 2.0.0 Bye\r\n");
    client->disconnectFromHost();
    QTRY_VERIFY_WITH_TIMEOUT(events.contains(QStringLiteral("close")), 10000);
    QCOMPARE(events, (QStringList{QStringLiteral("data"), QStringLiteral("close")}));
    QCOMPARE(readAtClose, QStringLiteral("221 2.0.0 Bye\r\n"));
    QCOMPARE(socket.State(), SocketState::Closing);
}

void tst_Winsock::closeEndsTheConnectionSilently()
{
    TcpPeer peer;
    Winsock socket;
    QSignalSpy peerClosed(&socket, &Winsock::peerClosed);
    QSignalSpy errors(&socket, &Winsock::error);
    QTcpSocket *client = Connected(socket, peer);
    QVERIFY(client);
    client->write("220 ready\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(socket.BytesReceived(), 11, 10000);

    socket.Close();
    QCOMPARE(socket.State(), SocketState::Closed);
    QCOMPARE(socket.BytesReceived(), 0);
    QVERIFY(TcpPeer::waitForClientGone(client));
    QCoreApplication::processEvents();
    QCOMPARE(peerClosed.count(), 0);
    QCOMPARE(errors.count(), 0);

    socket.Close(); // closing a closed element changes nothing
    QCOMPARE(socket.State(), SocketState::Closed);
}

// The shut-down closes elements that may be half way to a server; none of
// them may report anything afterwards.
void tst_Winsock::closeWhileConnectingRaisesNothingLater()
{
    Winsock socket;
    QSignalSpy errors(&socket, &Winsock::error);
    QSignalSpy connected(&socket, &Winsock::connected);
    socket.RemoteHost = QStringLiteral("127.0.0.1");
    socket.RemotePort = TcpPeer::ClosedPort();
    socket.Connect();
    socket.Close();
    QCOMPARE(socket.State(), SocketState::Closed);

    QTest::qWait(500);
    QCOMPARE(errors.count(), 0);
    QCOMPARE(connected.count(), 0);
    QCOMPARE(socket.State(), SocketState::Closed);
}

void tst_Winsock::elementCanConnectAgainAfterClose()
{
    TcpPeer peer;
    Winsock socket;
    QTcpSocket *first = Connected(socket, peer);
    QVERIFY(first);
    first->write("stale");
    QTRY_COMPARE_WITH_TIMEOUT(socket.BytesReceived(), 5, 10000);
    socket.Close();

    QTcpSocket *second = Connected(socket, peer);
    QVERIFY(second);
    QCOMPARE(socket.State(), SocketState::Connected);
    QCOMPARE(socket.GetData(), QString()); // nothing of the first connection is left
    second->write("fresh");
    QTRY_COMPARE_WITH_TIMEOUT(socket.BytesReceived(), 5, 10000);
    QCOMPARE(socket.GetData(), QStringLiteral("fresh"));
}

void tst_Winsock::failedConnection_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<std::int32_t>("port");
    QTest::addColumn<QAbstractSocket::SocketError>("failure");

    QTest::newRow("refused") << QStringLiteral("127.0.0.1") << TcpPeer::ClosedPort()
                             << QAbstractSocket::ConnectionRefusedError;
    // The .invalid domain is reserved: no resolver can ever answer for it.
    QTest::newRow("host not found")
        << QStringLiteral("no-such-host.invalid") << 25 << QAbstractSocket::HostNotFoundError;
}

void tst_Winsock::failedConnection()
{
    QFETCH(QString, host);
    QFETCH(std::int32_t, port);
    QFETCH(QAbstractSocket::SocketError, failure);
    Winsock socket;
    QSignalSpy errors(&socket, &Winsock::error);
    QSignalSpy connected(&socket, &Winsock::connected);
    socket.RemoteHost = host;
    socket.RemotePort = port;
    socket.Connect();

    QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 60000);
    QCOMPARE(errors.at(0).at(0).value<QAbstractSocket::SocketError>(), failure);
    QVERIFY(!errors.at(0).at(1).toString().isEmpty());
    QCOMPARE(socket.State(), SocketState::Error);
    QCOMPARE(connected.count(), 0);

    socket.Close();
    QCOMPARE(socket.State(), SocketState::Closed);
}

void tst_Winsock::badArgumentsAreRefused_data()
{
    QTest::addColumn<std::int32_t>("port");
    QTest::newRow("port 0") << 0;
    QTest::newRow("negative port") << -25;
    QTest::newRow("port above 65535") << 65536;
}

void tst_Winsock::badArgumentsAreRefused()
{
    QFETCH(std::int32_t, port);
    Winsock socket;
    QSignalSpy errors(&socket, &Winsock::error);
    socket.RemoteHost = QStringLiteral("127.0.0.1");
    socket.RemotePort = port;
    try {
        socket.Connect();
        QFAIL("Connect accepted a port outside 1 to 65535");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), ErrorNumber::InvalidArgument);
        QVERIFY(!error.description().isEmpty());
    }
    QCOMPARE(socket.State(), SocketState::Closed);
    QCOMPARE(errors.count(), 0);
}

void tst_Winsock::operationsInTheWrongState()
{
    TcpPeer peer;
    Winsock socket;
    socket.RemoteHost = QStringLiteral("127.0.0.1");
    socket.RemotePort = peer.port();

    QVERIFY_THROWS_EXCEPTION(RuntimeError, socket.SendData(QStringLiteral("HELO early\r\n")));
    QCOMPARE(socket.State(), SocketState::Closed);

    QTcpSocket *client = Connected(socket, peer);
    QVERIFY(client);
    try {
        socket.Connect();
        QFAIL("a connected element accepted a second Connect");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), ErrorNumber::InvalidOperationAtState);
    }
    // The refused call leaves the connection as it was.
    QCOMPARE(socket.State(), SocketState::Connected);
    socket.SendData(QStringLiteral("NOOP\r\n"));
    QVERIFY(peer.waitForReceived(6));
    QCOMPARE(peer.received(), QByteArray("NOOP\r\n"));
}

void tst_Winsock::encryptedSession_data()
{
    QTest::addColumn<bool>("implicit");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("caTrusted");
    QTest::addColumn<QString>("host");
    QTest::addColumn<Trust>("trust");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("issuer");

    const QString localhost = QStringLiteral("localhost");
    const QString ca = QStringLiteral("Vormant Test CA");
    QTest::newRow("STARTTLS, trusted")
        << false << Kind::Signed << true << localhost << Trust::Trusted << localhost << ca;
    QTest::newRow("STARTTLS, address typed, in the certificate")
        << false << Kind::Signed << true << QStringLiteral("127.0.0.1") << Trust::Trusted
        << localhost << ca;
    QTest::newRow("STARTTLS, self-signed") << false << Kind::SelfSigned << true << localhost
                                           << Trust::SelfSigned << localhost << localhost;
    QTest::newRow("STARTTLS, expired")
        << false << Kind::Expired << true << localhost << Trust::Expired << localhost << ca;
    QTest::newRow("STARTTLS, other name")
        << false << Kind::OtherName << true << localhost << Trust::OtherName
        << QStringLiteral("other.example") << ca;
    QTest::newRow("STARTTLS, unknown issuer")
        << false << Kind::Signed << false << localhost << Trust::UnknownIssuer << localhost << ca;
    QTest::newRow("implicit, trusted")
        << true << Kind::Signed << true << localhost << Trust::Trusted << localhost << ca;
    QTest::newRow("implicit, self-signed") << true << Kind::SelfSigned << true << localhost
                                           << Trust::SelfSigned << localhost << localhost;
}

// A handshake on the open connection (STARTTLS) or at its start (implicit),
// the report of the session, and text both ways afterwards, encrypted on the
// wire. A certificate that fails verification is reported, never refused.
void tst_Winsock::encryptedSession()
{
    QFETCH(bool, implicit);
    QFETCH(Kind, kind);
    QFETCH(bool, caTrusted);
    QFETCH(QString, host);
    QFETCH(Trust, trust);
    QFETCH(QString, subject);
    QFETCH(QString, issuer);
    m_certificates->trustCa(caTrusted);
    const Turn hello = ScriptedServer::Say("250-secret hello\r\n250 AUTH LOGIN\r\n");
    ScriptedServer server(implicit ? Script{ScriptedServer::Say("220 go ahead\r\n"), hello}
                                   : Script{ScriptedServer::Say("220 plain\r\n"),
                                            ScriptedServer::SayThenTls("220 go ahead\r\n"), hello});
    server.setTls(m_certificates->certificate(kind), m_certificates->key(kind),
                  implicit ? ScriptedServer::Tls::Handshake : ScriptedServer::Tls::None);
    Winsock socket;
    QStringList events;
    RecordEvents(socket, events);
    QVERIFY(OpenForTls(socket, server, host, implicit));

    if (!implicit) {
        QCOMPARE(socket.GetData(), QStringLiteral("220 go ahead\r\n"));
        QVERIFY(!socket.PlainBytesPending());
        socket.StartClientEncryption(host);
        QCOMPARE(socket.State(), SocketState::Connected);
    }
    QTRY_VERIFY_WITH_TIMEOUT(events.contains("encrypted"), 10000);
    QVERIFY(socket.IsEncrypted());
    QTRY_VERIFY_WITH_TIMEOUT(server.encrypted(), 10000);
    const TlsReport &report = socket.TlsSession();
    QCOMPARE(report.protocol, QStringLiteral("TLS 1.3"));
    QVERIFY(!report.cipher.isEmpty());
    QCOMPARE(report.subject, subject);
    QCOMPARE(report.issuer, issuer);
    QCOMPARE(report.expires, m_certificates->certificate(kind).expiryDate());
    QCOMPARE(report.trust, trust);
    QCOMPARE(report.trustProblem.isEmpty(), trust == Trust::Trusted);

    if (implicit) { // the greeting comes after the handshake
        QTRY_COMPARE_WITH_TIMEOUT(socket.BytesReceived(), 14, 10000);
        QCOMPARE(socket.GetData(), QStringLiteral("220 go ahead\r\n"));
    }
    socket.SendData(QStringLiteral("EHLO j\u00FCrgen\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(socket.BytesReceived(), hello.reply.size(), 10000);
    QCOMPARE(socket.GetData(), QStringLiteral("250-secret hello\r\n250 AUTH LOGIN\r\n"));
    const QByteArray ehlo = QStringLiteral("EHLO j\u00FCrgen").toUtf8();
    QCOMPARE(server.commands().last(), ehlo);
    QVERIFY(!server.rawReceived().contains(ehlo));
    QVERIFY(!server.rawSent().contains("secret hello"));
    const QStringList expected = implicit
                                     ? QStringList{"connect", "encrypted", "data", "data"}
                                     : QStringList{"connect", "data", "data", "encrypted", "data"};
    QCOMPARE(events, expected);
}

void tst_Winsock::failedHandshake_data()
{
    QTest::addColumn<bool>("implicit");
    QTest::addColumn<ScriptedServer::Tls>("tls");
    QTest::addColumn<int>("failure"); // a QAbstractSocket::SocketError; NoOutcome: none at all

    using Tls = ScriptedServer::Tls;
    constexpr int Handshake = QAbstractSocket::SslHandshakeFailedError;
    constexpr int Closed = QAbstractSocket::RemoteHostClosedError;
    QTest::newRow("STARTTLS, plain text for a handshake") << false << Tls::Garbage << Handshake;
    QTest::newRow("STARTTLS, close half way") << false << Tls::CloseMidway << Closed;
    QTest::newRow("STARTTLS, TLS 1.0 only") << false << Tls::V1_0Only << Handshake;
    QTest::newRow("STARTTLS, never answered") << false << Tls::Stall << NoOutcome;
    QTest::newRow("implicit, plain text for a handshake") << true << Tls::Garbage << Handshake;
    QTest::newRow("implicit, close half way") << true << Tls::CloseMidway << Closed;
}

// Each failed handshake is one error event with a text, never a session.
void tst_Winsock::failedHandshake()
{
    QFETCH(bool, implicit);
    QFETCH(ScriptedServer::Tls, tls);
    QFETCH(int, failure);
    m_certificates->trustCa();
    const auto signedKind = Kind::Signed;
    Script script{ScriptedServer::Say("220 plain\r\n"),
                  ScriptedServer::SayThenTls("220 go ahead\r\n", tls),
                  ScriptedServer::Say("250 never\r\n")};
    if (implicit)
        script.removeFirst();
    ScriptedServer server(script);
    server.setTls(m_certificates->certificate(signedKind), m_certificates->key(signedKind),
                  implicit ? tls : ScriptedServer::Tls::None);
    Winsock socket;
    QStringList events;
    RecordEvents(socket, events);
    QSignalSpy errors(&socket, &Winsock::error);
    QVERIFY(OpenForTls(socket, server, QStringLiteral("localhost"), implicit));
    if (implicit) {
        QTRY_COMPARE_WITH_TIMEOUT(events.value(0), QStringLiteral("connect"), 10000);
    } else {
        QCOMPARE(socket.GetData(), QStringLiteral("220 go ahead\r\n"));
        socket.StartClientEncryption(QStringLiteral("localhost"));
    }
    const QStringList before = events.mid(0, 1 + !implicit * 2);

    if (failure == NoOutcome) {
        QTest::qWait(1000);
        QCOMPARE(events, before);
        QCOMPARE(socket.State(), SocketState::Connected);
        socket.Close(); // the caller's deadline ends it, silently
        QTest::qWait(100);
        QCOMPARE(events, before);
        QCOMPARE(socket.State(), SocketState::Closed);
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 10000);
    QTest::qWait(100); // nothing else follows
    QCOMPARE(events, before + QStringList{"error"});
    QCOMPARE(int(errors.at(0).at(0).value<QAbstractSocket::SocketError>()), failure);
    QVERIFY(!errors.at(0).at(1).toString().isEmpty());
    QCOMPARE(socket.State(), SocketState::Error);
    QVERIFY(!socket.IsEncrypted());
    QCOMPARE(socket.GetData(), QString());
}

void tst_Winsock::plainBytesBeforeEncryptionAreRefused_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("readFirst");
    QTest::addColumn<QString>("read");

    // A reply injected behind the "220", in the same segment.
    QTest::newRow("unread reply") << QByteArray("220 go ahead\r\n250 injected\r\n") << false
                                  << QStringLiteral("220 go ahead\r\n250 injected\r\n");
    // GetData has handed out all it could, but one byte began a character.
    QTest::newRow("start of a character")
        << QByteArray("220 go ahead\r\n\xC3") << true << QStringLiteral("220 go ahead\r\n");
}

// The engine can tell that plain text came before the handshake, and such
// bytes can never turn up as if they had come encrypted.
void tst_Winsock::plainBytesBeforeEncryptionAreRefused()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, readFirst);
    QFETCH(QString, read);
    ScriptedServer server(
        {ScriptedServer::Say("220 plain\r\n"), ScriptedServer::SayThenTls(reply)});
    server.setTls(m_certificates->certificate(Kind::Signed), m_certificates->key(Kind::Signed));
    Winsock socket;
    QStringList events;
    RecordEvents(socket, events);
    QVERIFY(OpenForTls(socket, server, QStringLiteral("localhost"), false));
    QTRY_COMPARE_WITH_TIMEOUT(socket.BytesReceived(), reply.size(), 10000);
    if (readFirst)
        QCOMPARE(socket.GetData(), read);

    QVERIFY(socket.PlainBytesPending());
    try {
        socket.StartClientEncryption(QStringLiteral("localhost"));
        QFAIL("a handshake began with plain text unread");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), ErrorNumber::WrongProtocolOrState);
    }
    QTest::qWait(200);
    QCOMPARE(server.rawReceived(), QByteArray("STARTTLS\r\n")); // no handshake began
    QCOMPARE(socket.State(), SocketState::Connected);
    QVERIFY(!socket.IsEncrypted());
    QVERIFY(!events.contains("encrypted"));
    if (!readFirst)
        QCOMPARE(socket.GetData(), read); // nothing was lost either
}

QTEST_MAIN(tst_Winsock)
#include "tst_winsock.moc"
