#include "support/EngineRun.h"

#include "engine/ServerAddress.h"
#include "engine/modQuendel_EmailClient.h"
#include "platform/ProgramEnd.h"

#include <QTcpServer>
#include <QtTest>

// The server field: a host, optionally with a port. Without a port the
// engine goes to the SMTP port, 25.
class tst_ServerAddress : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void socketGetsHostAndPort_data();
    void socketGetsHostAndPort();
};

void tst_ServerAddress::parse_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");

    QTest::newRow("host") << "mail.example.com" << true << "mail.example.com" << 25;
    QTest::newRow("IPv4") << "192.0.2.7" << true << "192.0.2.7" << 25;
    QTest::newRow("host and port") << "mail.example.com:2525" << true << "mail.example.com" << 2525;
    QTest::newRow("port 1") << "h:1" << true << "h" << 1;
    QTest::newRow("port 65535") << "h:65535" << true << "h" << 65535;
    QTest::newRow("leading zeros") << "h:00025" << true << "h" << 25;
    QTest::newRow("bare IPv6") << "::1" << true << "::1" << 25;
    QTest::newRow("bare IPv6, full") << "2001:db8::25" << true << "2001:db8::25" << 25;
    QTest::newRow("IPv6 in brackets") << "[::1]" << true << "::1" << 25;
    QTest::newRow("IPv6 with port") << "[2001:db8::1]:587" << true << "2001:db8::1" << 587;
    QTest::newRow("blanks") << "  " << true << "  " << 25;
    // A name in Unicode in its ASCII form, the one the resolver knows.
    QTest::newRow("international name")
        << QStringLiteral("mail.b\u00FCcher.example") << true << "mail.xn--bcher-kva.example" << 25;
    QTest::newRow("international name and port")
        << QStringLiteral("\u043F\u043E\u0447\u0442\u0430.example:587") << true
        << "xn--80a1acny.example" << 587;
    QTest::newRow("international name with a blank")
        << QStringLiteral("b\u00FC cher") << true << QStringLiteral("b\u00FC cher") << 25;

    QTest::newRow("port 0") << "h:0" << false << "" << 0;
    QTest::newRow("port 65536") << "h:65536" << false << "" << 0;
    QTest::newRow("port 99999") << "h:99999" << false << "" << 0;
    QTest::newRow("empty port") << "h:" << false << "" << 0;
    QTest::newRow("port with letters") << "h:25a" << false << "" << 0;
    QTest::newRow("signed port") << "h:+25" << false << "" << 0;
    QTest::newRow("port with blank") << "h:25 " << false << "" << 0;
    QTest::newRow("Arabic-Indic digits") << QStringLiteral("h:\u0662\u0665") << false << "" << 0;
    QTest::newRow("IPv6 unclosed") << "[::1" << false << "" << 0;
    QTest::newRow("IPv6 with empty port") << "[::1]:" << false << "" << 0;
    QTest::newRow("IPv6 with junk") << "[::1]x" << false << "" << 0;
}

void tst_ServerAddress::parse()
{
    QFETCH(QString, field);
    QFETCH(bool, valid);
    QFETCH(QString, host);
    QFETCH(int, port);

    const ServerAddress address = ParseServerAddress(field);
    QCOMPARE(address.valid, valid);
    if (valid) {
        QCOMPARE(address.host, host);
        QCOMPARE(address.port, port);
    }
}

void tst_ServerAddress::socketGetsHostAndPort_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");

    // Refused or answered, the socket shows where it went.
    QTest::newRow("IPv4 without port") << "127.0.0.1"
                                       << "127.0.0.1" << 25;
    QTest::newRow("bare IPv6") << "::1"
                               << "::1" << 25;
    QTest::newRow("IPv6 in brackets") << "[::1]"
                                      << "::1" << 25;
    QTest::newRow("IPv4 with port") << "127.0.0.1:9"
                                    << "127.0.0.1" << 9;
}

void tst_ServerAddress::socketGetsHostAndPort()
{
    QFETCH(QString, field);
    QFETCH(QString, host);
    QFETCH(int, port);

    EngineRun run;
    QString seenHost;
    int seenPort = -1;
    const auto look = [&run, &seenHost, &seenPort](std::int16_t index) {
        if (index != 1 || seenPort >= 0)
            return;
        seenHost = run.sockets()(1).RemoteHost;
        seenPort = run.sockets()(1).RemotePort;
        // Whatever answered there, the run goes no further: no message may
        // reach a real server on this machine.
        modQuendel_EmailClient::StepDone = true;
        run.sockets()(1).Close();
        EndProgram();
    };
    QObject::connect(&run.sockets(), &SocketArray::Connect, look);
    QObject::connect(&run.sockets(), &SocketArray::Error,
                     [&look](std::int16_t index, std::int32_t, const QString &) { look(index); });

    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), {}, {}, field);
    run.clickTest();
    QTRY_VERIFY(seenPort >= 0);
    QCOMPARE(seenHost, host);
    QCOMPARE(seenPort, port);
    QCOMPARE(run.programEnds(), 1);
}

QTEST_MAIN(tst_ServerAddress)
#include "tst_serveraddress.moc"
