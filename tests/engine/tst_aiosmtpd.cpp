#include "DialogueHelpers.h"
#include "support/EngineRun.h"
#include "support/SmtpSink.h"
#include "support/TestCertificates.h"

#include <QtTest>

// Whole runs through the window against a real SMTP server that nobody
// here wrote: aiosmtpd, with AUTH LOGIN for one user. Like many servers it
// offers AUTH only after EHLO, with which every run with credentials greets.
class tst_Aiosmtpd : public QObject
{
    Q_OBJECT
private slots:
    void deliveries_data();
    void deliveries();
    void wrongPassword();
    void runsOneAfterAnother();
    void tlsLogins_data();
    void tlsLogins();
};

Q_DECLARE_METATYPE(SmtpSink::Tls)

namespace {
const QStringList Sent{QStringLiteral("Email Sent")};
const QStringList Failed{QStringLiteral("SMTP Error!")};

QString Hex(const QString &text)
{
    return QString::fromLatin1(text.toUtf8().toHex());
}

// The log of a run up to the end of authentication (or of HELO without it).
QStringList OpeningLog(const QString &local, const QString &user)
{
    QStringList log{QStringLiteral("W:Connecting to SMTP Server, please wait .."),
                    DialogueHelpers::ConnectedNote,
                    QStringLiteral("Y:220 sink.test ESMTP test sink"), QString()};
    if (user.isEmpty())
        return log << QStringLiteral("W:HELO ") + local << QStringLiteral("Y:250 sink.test")
                   << QString();
    // A client that logs in greets with EHLO, and AUTH is among the extensions.
    log << QStringLiteral("W:EHLO ") + local << QStringLiteral("Y:250-sink.test")
        << QStringLiteral("Y:250-SIZE 33554432") << QStringLiteral("Y:250-8BITMIME")
        << QStringLiteral("Y:250-SMTPUTF8") << QStringLiteral("Y:250-AUTH LOGIN PLAIN")
        << QStringLiteral("Y:250 HELP") << QString() << QStringLiteral("W:AUTH LOGIN")
        << QStringLiteral("Y:334 VXNlciBOYW1lAA==") << QString()
        << QStringLiteral("W:") + QString::fromLatin1(user.toUtf8().toBase64())
        << QStringLiteral("Y:334 UGFzc3dvcmQA") << QString() << QStringLiteral("W:********")
        << DialogueHelpers::PlainLoginNote << DialogueHelpers::PlainLoginHint;
    return log;
}

const QStringList AuthAccepted{QStringLiteral("Y:235 2.7.0 Authentication successful"), QString()};

// The refusal of a wrong password, the QUIT that follows it, and the hint.
const QString LoginHint =
    QStringLiteral("C:Hint: the user name is often the whole mail address, not only the part "
                   "before the @; some providers want an app password made for mail programs "
                   "instead of the usual one.");
const QStringList AuthRefused{
    QStringLiteral("Y:535 5.7.8 Authentication credentials invalid"), QString(),
    QStringLiteral("W:QUIT"),
    QStringLiteral("C:The server did not accept the user name or password (535)."), LoginHint};

QStringList ClosingLog(const QString &rcpt, const QString &sender = {})
{
    return {QStringLiteral("W:MAIL FROM:<") + sender + QStringLiteral(">"),
            QStringLiteral("Y:250 OK"),
            QString(),
            QStringLiteral("W:RCPT TO:<") + rcpt + QStringLiteral(">"),
            QStringLiteral("Y:250 OK"),
            QString(),
            QStringLiteral("W:DATA"),
            QStringLiteral("Y:354 End data with <CR><LF>.<CR><LF>"),
            QString(),
            QStringLiteral("W:Subject: Vormant"),
            QStringLiteral("W:."),
            QStringLiteral("Y:250 2.0.0 Message accepted for delivery"),
            QString(),
            QStringLiteral("W:QUIT"),
            QStringLiteral("Y:221 Bye"),
            QString(),
            DialogueHelpers::TookNote};
}
} // namespace

void tst_Aiosmtpd::deliveries_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("pass");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("local");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QByteArray>("storedBody"); // as the server keeps it, dots unstuffed
    QTest::addColumn<QString>("sender");        // the envelope's reverse-path

    QTest::newRow("without credentials") << ""
                                         << ""
                                         << "bob@example.com"
                                         << "bob"
                                         << "Hello" << QByteArray("Hello") << QString();
    QTest::newRow("with credentials") << "tester"
                                      << "secret"
                                      << "bob@example.com"
                                      << "bob"
                                      << "Hello" << QByteArray("Hello") << QString();
    QTest::newRow("UTF-8 credentials")
        << QStringLiteral("j\u00FCrgen") << QStringLiteral("p\u00E4ssw\u00F6rd\u2713")
        << "bob@example.com"
        << "bob"
        << "Hello" << QByteArray("Hello") << QString();
    QTest::newRow("recipient without @") << ""
                                         << ""
                                         << "postmaster"
                                         << "postmaster"
                                         << "Hello" << QByteArray("Hello") << QString();
    QTest::newRow("dots and line breaks")
        << "tester"
        << "secret"
        << "bob@example.com"
        << "bob" << QStringLiteral("first\n.\n..two\r\n.third\rlast")
        << QByteArray("first\r\n.\r\n..two\r\n.third\r\nlast") << QString();
    QTest::newRow("user name that is an address")
        << "alice@example.org"
        << "secret"
        << "bob@example.com"
        << "bob"
        << "Hello" << QByteArray("Hello") << "alice@example.org";
}

void tst_Aiosmtpd::deliveries()
{
    QFETCH(QString, user);
    QFETCH(QString, pass);
    QFETCH(QString, email);
    QFETCH(QString, local);
    QFETCH(QString, body);
    QFETCH(QByteArray, storedBody);
    QFETCH(QString, sender);

    SmtpSink::Options options;
    if (!user.isEmpty()) {
        options.user = user;
        options.password = pass;
    }
    SmtpSink sink(options);
    QVERIFY2(sink.startError().isEmpty(), qPrintable(sink.startError()));

    EngineRun run;
    run.fill(body, email, user, pass, sink.address());
    const QString stampBefore = DialogueHelpers::DateTimeNow();
    run.clickTest();
    QVERIFY(run.waitForRunEnd());
    const QString stampAfter = DialogueHelpers::DateTimeNow();

    QCOMPARE(run.boxTexts(), Sent);
    QVERIFY(run.windowUnlocked());
    QCOMPARE(run.logLines(), OpeningLog(local, user) +
                                 (user.isEmpty() ? QStringList() : AuthAccepted) +
                                 ClosingLog(email, sender));

    QCOMPARE(sink.messageCount(), 1);
    QCOMPARE(sink.envelope(1),
             (QStringList{QStringLiteral("MAIL FROM:<") + sender + QStringLiteral(">"),
                          QStringLiteral("RCPT TO:<") + email + QStringLiteral(">")}));
    const QByteArray content = sink.content(1);
    const QString stamp = DialogueHelpers::DateTimeIn(content);
    QVERIFY2(stamp == stampBefore || stamp == stampAfter, qPrintable(stamp));
    // The server keeps the data without its end-of-data line.
    QByteArray expected = DialogueHelpers::MessageData(email, local, stamp, storedBody);
    expected.chop(3);
    QCOMPARE(content, expected);

    const QStringList attempts = sink.authAttempts();
    if (user.isEmpty())
        QVERIFY(attempts.isEmpty());
    else
        QCOMPARE(attempts, QStringList{QStringLiteral("ok %1 %2").arg(Hex(user), Hex(pass))});
}

void tst_Aiosmtpd::wrongPassword()
{
    SmtpSink sink;
    QVERIFY2(sink.startError().isEmpty(), qPrintable(sink.startError()));
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), QStringLiteral("tester"),
             QStringLiteral("wrong"), sink.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());

    QCOMPARE(run.boxTexts(), Failed);
    QVERIFY(run.windowUnlocked());
    QCOMPARE(run.logLines(),
             OpeningLog(QStringLiteral("bob"), QStringLiteral("tester")) + AuthRefused);
    QCOMPARE(sink.messageCount(), 0);
    QCOMPARE(sink.authAttempts(),
             QStringList{QStringLiteral("fail %1 %2")
                             .arg(Hex(QStringLiteral("tester")), Hex(QStringLiteral("wrong")))});
}

void tst_Aiosmtpd::runsOneAfterAnother()
{
    SmtpSink sink;
    QVERIFY2(sink.startError().isEmpty(), qPrintable(sink.startError()));
    EngineRun run;
    const QString bob = QStringLiteral("bob@example.com");

    // A wrong password, corrected, then wrong again: each run on its own.
    const QList<QPair<QString, QStringList>> runs{{QStringLiteral("wrong"), Failed},
                                                  {QStringLiteral("secret"), Sent},
                                                  {QStringLiteral("again wrong"), Failed}};
    QStringList boxes;
    int delivered = 0;
    for (const auto &[password, verdict] : runs) {
        run.fill(QStringLiteral("Hello"), bob, QStringLiteral("tester"), password, sink.address());
        run.clickTest();
        QVERIFY(run.waitForRunEnd());
        boxes += verdict;
        QCOMPARE(run.boxTexts(), boxes);
        QVERIFY(run.windowUnlocked());

        QStringList log = OpeningLog(QStringLiteral("bob"), QStringLiteral("tester"));
        if (verdict == Sent) {
            log += AuthAccepted + ClosingLog(bob);
            ++delivered;
        } else {
            log += AuthRefused;
        }
        QCOMPARE(run.logLines(), log);
        QCOMPARE(sink.messageCount(), delivered);
    }
}

// Logins the way aiosmtpd requires them by default: AUTH only inside TLS,
// reached with STARTTLS, or on port 465 with TLS from the first byte.
void tst_Aiosmtpd::tlsLogins_data()
{
    QTest::addColumn<SmtpSink::Tls>("tls");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("lastNote");

    const QString took = DialogueHelpers::TookNote;
    QTest::newRow("STARTTLS") << SmtpSink::Tls::StartTls << "127.0.0.1" << 0 << "secret" << Sent
                              << took;
    QTest::newRow("STARTTLS, wrong password")
        << SmtpSink::Tls::StartTls << "127.0.0.1" << 0 << "wrong" << Failed << LoginHint;
    // Port 465 on an address of the loopback range of its own.
    QTest::newRow("implicit TLS on port 465")
        << SmtpSink::Tls::Implicit << "127.0.0.46" << 465 << "secret" << Sent << took;
}

void tst_Aiosmtpd::tlsLogins()
{
    QFETCH(SmtpSink::Tls, tls);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, password);
    QFETCH(QStringList, boxes);
    QFETCH(QString, lastNote);

    TestCertificates certificates;
    QVERIFY2(certificates.error().isEmpty(), qPrintable(certificates.error()));
    certificates.trustCa();
    SmtpSink::Options options;
    options.host = host;
    options.port = port;
    options.tls = tls;
    options.certificateFile = certificates.certificateFile(TestCertificates::Kind::Signed);
    options.keyFile = certificates.keyFile(TestCertificates::Kind::Signed);
    SmtpSink sink(options);
    if (port == 465 && !sink.startError().isEmpty())
        QSKIP(qPrintable(QStringLiteral("port 465 cannot be opened here (it needs root): ") +
                         sink.startError()));
    QVERIFY2(sink.startError().isEmpty(), qPrintable(sink.startError()));

    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), QStringLiteral("tester"),
             password, sink.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());

    QCOMPARE(run.boxTexts(), boxes);
    const QStringList log = run.logLines();
    QCOMPARE(log.last(), lastNote);
    QCOMPARE(log.contains(QStringLiteral("W:STARTTLS")), tls == SmtpSink::Tls::StartTls);
    QCOMPARE(log.count(QStringLiteral("W:EHLO bob")), tls == SmtpSink::Tls::StartTls ? 2 : 1);
    const auto isReport = [](const QString &line) {
        return line.startsWith(QStringLiteral("C:Encrypted with TLS 1.3 ("));
    };
    QCOMPARE(std::count_if(log.cbegin(), log.cend(), isReport), 1);
    QVERIFY(!log.contains(DialogueHelpers::PlainLoginNote));
    QCOMPARE(sink.messageCount(), boxes == Sent ? 1 : 0);
    QCOMPARE(sink.authAttempts(),
             QStringList{QStringLiteral("%1 %2 %3")
                             .arg(boxes == Sent ? QStringLiteral("ok") : QStringLiteral("fail"),
                                  Hex(QStringLiteral("tester")), Hex(password))});
}

QTEST_MAIN(tst_Aiosmtpd)
#include "tst_aiosmtpd.moc"
