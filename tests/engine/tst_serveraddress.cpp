#include "support/EngineRun.h"

#include "engine/ServerAddress.h"
#include "engine/modQuendel_EmailClient.h"
#include "platform/ProgramEnd.h"

#include <QTcpServer>
#include <QtTest>

// The server field: a host, optionally with a port. Without a port the
// engine goes to the SMTP port, 25. The fields refused for their port are
// among the bad inputs refused at the click.
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
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("host");

    QTest::newRow("host") << "mail.example.com" << 25 << "mail.example.com";
    QTest::newRow("IPv4") << "192.0.2.7" << 25 << "192.0.2.7";
    QTest::newRow("host and port") << "mail.example.com:2525" << 2525 << "mail.example.com";
    QTest::newRow("port 1") << "h:1" << 1 << "h";
    QTest::newRow("port 65535") << "h:65535" << 65535 << "h";
    QTest::newRow("leading zeros") << "h:00025" << 25 << "h";
    QTest::newRow("bare IPv6") << "::1" << 25 << "::1";
    QTest::newRow("bare IPv6, full") << "2001:db8::25" << 25 << "2001:db8::25";
    QTest::newRow("IPv6 in brackets") << "[::1]" << 25 << "::1";
    QTest::newRow("IPv6 with port") << "[2001:db8::1]:587" << 587 << "2001:db8::1";
    QTest::newRow("blanks") << "  " << 25 << "  ";
    // A name in Unicode in its ASCII form, the one the resolver knows.
    QTest::newRow("international name")
        << QStringLiteral("mail.b\u00FCcher.example") << 25 << "mail.xn--bcher-kva.example";
    QTest::newRow("international name and port")
        << QStringLiteral("\u043F\u043E\u0447\u0442\u0430.example:587") << 587
        << "xn--80a1acny.example";
    QTest::newRow("international name with a blank")
        << QStringLiteral("b\u00FC cher") << 25 << QStringLiteral("b\u00FC cher");
}

void tst_ServerAddress::parse()
{
    QFETCH(QString, field);
    QFETCH(int, port);
    QFETCH(QString, host);

    const ServerAddress address = ParseServerAddress(field);
    QVERIFY(address.valid);
    QCOMPARE(address.host, host);
    QCOMPARE(address.port, port);
}

void tst_ServerAddress::socketGetsHostAndPort_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("host");

    // Refused or answered, the socket shows where it went.
    QTest::newRow("IPv4 without port") << "127.0.0.1" << 25 << "127.0.0.1";
    QTest::newRow("bare IPv6") << "::1" << 25 << "::1";
    QTest::newRow("IPv6 in brackets") << "[::1]" << 25 << "::1";
    QTest::newRow("IPv4 with port") << "127.0.0.1:9" << 9 << "127.0.0.1";
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
