#include "support/EngineRun.h"
#include "support/Expectations.h"
#include "support/SmtpSink.h"
#include "support/TestCertificates.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using Expect::Failed;
using Expect::Sent;

// Whole runs through the window against a real SMTP server that nobody
// here wrote: aiosmtpd, with AUTH LOGIN for one user. Like many servers it
// offers AUTH only after EHLO, with which every run with credentials greets.
class tst_Aiosmtpd : public QObject
{
    Q_OBJECT
private slots:
    void deliveries_data();
    void deliveries();
    void readBack_data();
    void readBack();
    void runsOneAfterAnother();
    void tlsLogins_data();
    void tlsLogins();
    void tokenLogins_data();
    void tokenLogins();
};

Q_DECLARE_METATYPE(SmtpSink::Tls)

namespace {
QString Hex(const QString &text)
{
    return QString::fromLatin1(text.toUtf8().toHex());
}

// The log of a run up to the end of authentication (or of HELO without it).
QStringList OpeningLog(const QString &user)
{
    QStringList log{QStringLiteral("W:Connecting to SMTP Server, please wait .."),
                    Expect::ConnectedNote, QStringLiteral("Y:220 sink.test ESMTP test sink"),
                    QString()};
    if (user.isEmpty())
        return log << QStringLiteral("W:HELO [127.0.0.1]") << QStringLiteral("Y:250 sink.test")
                   << QString();
    // A client that logs in greets with EHLO, and AUTH is among the extensions.
    log << QStringLiteral("W:EHLO [127.0.0.1]") << QStringLiteral("Y:250-sink.test")
        << QStringLiteral("Y:250-SIZE 33554432") << QStringLiteral("Y:250-8BITMIME")
        << QStringLiteral("Y:250-SMTPUTF8") << QStringLiteral("Y:250-AUTH LOGIN PLAIN")
        << QStringLiteral("Y:250 HELP") << QString() << QStringLiteral("W:AUTH LOGIN")
        << QStringLiteral("Y:334 VXNlciBOYW1lAA==") << QString()
        << QStringLiteral("W:") + QString::fromLatin1(user.toUtf8().toBase64())
        << QStringLiteral("Y:334 UGFzc3dvcmQA") << QString() << QStringLiteral("W:********")
        << Expect::PlainLoginNote << Expect::PlainLoginHint;
    return log;
}

const QStringList AuthAccepted{QStringLiteral("Y:235 2.7.0 Authentication successful"), QString()};

// The refusal of a wrong password, the QUIT that follows it, and the hint.
using Expect::LoginHint;
const QStringList AuthRefused{QStringLiteral("Y:535 5.7.8 Authentication credentials invalid"),
                              QString(), QStringLiteral("W:QUIT"),
                              Expect::Note(Notes::Id::RefusedLogin, {"535"}), LoginHint};

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
            Expect::TookNote};
}
} // namespace

void tst_Aiosmtpd::deliveries_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("pass");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("toHeader");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QByteArray>("storedBody"); // as the server keeps it, dots unstuffed
    QTest::addColumn<QString>("sender");        // the envelope's reverse-path

    QTest::newRow("without credentials") << ""
                                         << ""
                                         << "bob@example.com"
                                         << "bob <bob@example.com>"
                                         << "Hello" << QByteArray("Hello") << QString();
    QTest::newRow("with credentials") << "tester"
                                      << "secret"
                                      << "bob@example.com"
                                      << "bob <bob@example.com>"
                                      << "Hello" << QByteArray("Hello") << QString();
    QTest::newRow("UTF-8 credentials")
        << QStringLiteral("j\u00FCrgen") << QStringLiteral("p\u00E4ssw\u00F6rd\u2713")
        << "bob@example.com"
        << "bob <bob@example.com>"
        << "Hello" << QByteArray("Hello") << QString();
    QTest::newRow("recipient without @") << ""
                                         << ""
                                         << "postmaster"
                                         << "postmaster <postmaster>"
                                         << "Hello" << QByteArray("Hello") << QString();
    QTest::newRow("dots and line breaks")
        << "tester"
        << "secret"
        << "bob@example.com"
        << "bob <bob@example.com>" << QStringLiteral("first\n.\n..two\r\n.third\rlast")
        << QByteArray("first\r\n.\r\n..two\r\n.third\r\nlast") << QString();
    QTest::newRow("user name that is an address")
        << "alice@example.org"
        << "secret"
        << "bob@example.com"
        << "bob <bob@example.com>"
        << "Hello" << QByteArray("Hello") << "alice@example.org";
}

void tst_Aiosmtpd::deliveries()
{
    QFETCH(QString, user);
    QFETCH(QString, pass);
    QFETCH(QString, email);
    QFETCH(QString, toHeader);
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
    const QString stampBefore = Expect::DateTimeNow();
    run.clickTest();
    QVERIFY(run.waitForRunEnd());
    const QString stampAfter = Expect::DateTimeNow();

    QCOMPARE(run.boxTexts(), Sent);
    QVERIFY(run.windowUnlocked());
    QCOMPARE(run.logLines(), OpeningLog(user) + (user.isEmpty() ? QStringList() : AuthAccepted) +
                                 ClosingLog(email, sender));

    QCOMPARE(sink.messageCount(), 1);
    QCOMPARE(sink.envelope(1),
             (QStringList{QStringLiteral("MAIL FROM:<") + sender + QStringLiteral(">"),
                          QStringLiteral("RCPT TO:<") + email + QStringLiteral(">")}));
    const QByteArray content = sink.content(1);
    const QString stamp = Expect::DateTimeIn(content);
    QVERIFY2(stamp == stampBefore || stamp == stampAfter, qPrintable(stamp));
    // The server keeps the data without its end-of-data line.
    // From: the login address, else Admin at a domain that is nobody's.
    const QString from = sender.isEmpty() ? QString::fromLatin1(MessageShape::Admin) : sender;
    QByteArray expected =
        MessageShape::Expected(toHeader.toUtf8(), from.toUtf8(), stamp.toUtf8(), storedBody);
    expected.chop(3);
    QCOMPARE(MessageShape::Masked(content), expected);

    const QStringList attempts = sink.authAttempts();
    if (user.isEmpty())
        QVERIFY(attempts.isEmpty());
    else
        QCOMPARE(attempts, QStringList{QStringLiteral("ok %1 %2").arg(Hex(user), Hex(pass))});
}

namespace {
// The stored message as Python's email package reads it (read_message.py).
QJsonObject ReadBack(const QString &file)
{
    QProcess reader;
    reader.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(VORMANT_TEST_SUPPORT_DIR "/read_message.py"), file});
    if (!reader.waitForFinished(30000) || reader.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
}

// SpamAssassin's score of the stored message with its local tests only (no
// network tests, nothing learnt); -1 when it did not run.
double SpamScore(const QString &file)
{
    QProcess filter;
    filter.setStandardInputFile(file);
    filter.start(QStringLiteral("spamassassin"), {QStringLiteral("-L"), QStringLiteral("-t")});
    if (!filter.waitForFinished(120000))
        return -1;
    static const QRegularExpression score(QStringLiteral("X-Spam-Status: \\w+, score=(-?[0-9.]+)"));
    const QRegularExpressionMatch match =
        score.match(QString::fromUtf8(filter.readAllStandardOutput()));
    return match.hasMatch() ? match.captured(1).toDouble() : -1;
}
} // namespace

// What a mail program and a spam filter make of the message as the server
// stored it: every header parses, the body decodes to the text typed, and
// nothing about it looks like spam. The server enforces the DMARC policy
// p=reject of the recipient's domain, as a receiver that tests its own domain
// does: a message that claims to be from there is refused.
void tst_Aiosmtpd::readBack_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("fromLocal");
    QTest::addColumn<QString>("fromDomain");

    QTest::newRow("ASCII text") << QString() << QStringLiteral("Hello") << "Admin"
                                << "vormant.invalid";
    QTest::newRow("text beyond ASCII")
        << QString() << QStringLiteral("Gr\u00FC\u00DFe aus K\u00F6ln \u2713\n.dot") << "Admin"
        << "vormant.invalid";
    QTest::newRow("a line of 1,200 characters")
        << QString() << QString(1200, u'x') + QStringLiteral("\n") + QString(999, u'.') << "Admin"
        << "vormant.invalid";
    QTest::newRow("login address")
        << QStringLiteral("alice@example.org") << QStringLiteral("Hello") << "alice"
        << "example.org";
    QTest::newRow("login that is not an address")
        << QStringLiteral("tester") << QStringLiteral("Hello") << "Admin"
        << "vormant.invalid";
}

void tst_Aiosmtpd::readBack()
{
    QFETCH(QString, user);
    QFETCH(QString, body);
    QFETCH(QString, fromLocal);
    QFETCH(QString, fromDomain);

    SmtpSink::Options options;
    if (!user.isEmpty())
        options.user = user;
    options.dmarcReject = QStringList{QStringLiteral("example.com")};
    SmtpSink sink(options);
    QVERIFY2(sink.startError().isEmpty(), qPrintable(sink.startError()));
    EngineRun run;
    const QString pass = user.isEmpty() ? QString() : QStringLiteral("secret");
    QStringList messageIds;
    // Two runs: each message has a Message-ID of its own.
    for (int number = 1; number <= 2; ++number) {
        run.fill(body, QStringLiteral("bob@example.com"), user, pass, sink.address());
        run.clickTest();
        QVERIFY(run.waitForRunEnd());
        QCOMPARE(run.logLines().last(), Expect::TookNote);
        QCOMPARE(sink.messageCount(), number);

        const QJsonObject message = ReadBack(sink.contentFile(number));
        QVERIFY2(!message.isEmpty(), "read_message.py failed");
        QCOMPARE(message[QStringLiteral("defects")].toArray(), QJsonArray());
        const double sentAt = message[QStringLiteral("date")].toDouble(-1);
        QVERIFY2(std::abs(sentAt - QDateTime::currentSecsSinceEpoch()) < 600,
                 qPrintable(QString::fromUtf8(sink.content(number).left(200))));
        const QJsonObject from = message[QStringLiteral("from")].toArray().at(0).toObject();
        QCOMPARE(from[QStringLiteral("name")].toString(), QStringLiteral("Vormant"));
        QCOMPARE(from[QStringLiteral("local")].toString(), fromLocal);
        QCOMPARE(from[QStringLiteral("domain")].toString(), fromDomain);
        const QJsonObject to = message[QStringLiteral("to")].toArray().at(0).toObject();
        QCOMPARE(to[QStringLiteral("name")].toString(), QStringLiteral("bob"));
        QCOMPARE(to[QStringLiteral("domain")].toString(), QStringLiteral("example.com"));
        QCOMPARE(message[QStringLiteral("subject")].toString(), QStringLiteral("Vormant"));
        QCOMPARE(message[QStringLiteral("type")].toString(), QStringLiteral("text/plain"));
        QCOMPARE(message[QStringLiteral("charset")].toString(), QStringLiteral("utf-8"));
        const QString stamp = Expect::DateTimeIn(sink.content(number));
        QVERIFY(!stamp.isEmpty());
        QString typed = body;
        typed.replace(u'\n', QStringLiteral("\r\n"));
        QCOMPARE(message[QStringLiteral("body")].toString(),
                 QStringLiteral("Test Message Sent: ") + stamp + QStringLiteral("\r\n") + typed +
                     QStringLiteral("\r\n\r\n"));
        messageIds << message[QStringLiteral("messageId")].toString();
        QVERIFY(messageIds.last().endsWith(u'@' + fromDomain + u'>'));
    }
    QVERIFY(messageIds.at(0) != messageIds.at(1));

    if (QStandardPaths::findExecutable(QStringLiteral("spamassassin")).isEmpty())
        QSKIP("SpamAssassin is not installed (Debian package spamassassin)");
    const double score = SpamScore(sink.contentFile(2));
    qInfo("SpamAssassin, local tests: %.1f points", score);
    QVERIFY2(score >= -5 && score < 1.0, qPrintable(QString::number(score)));
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

        QStringList log = OpeningLog(QStringLiteral("tester"));
        if (verdict == Sent) {
            log += AuthAccepted + ClosingLog(bob);
            ++delivered;
        } else {
            log += AuthRefused;
        }
        QCOMPARE(run.logLines(), log);
        QCOMPARE(sink.messageCount(), delivered);
    }
    // The server got each password as typed.
    QStringList attempts;
    for (const auto &[password, verdict] : runs)
        attempts << QStringLiteral("%1 %2 %3")
                        .arg(verdict == Sent ? "ok" : "fail", Hex(QStringLiteral("tester")),
                             Hex(password));
    QCOMPARE(sink.authAttempts(), attempts);
}

// Logins the way aiosmtpd requires them by default: AUTH only inside TLS,
// reached with STARTTLS, or on port 465 with TLS from the first byte.
void tst_Aiosmtpd::tlsLogins_data()
{
    using Kind = TestCertificates::Kind;
    QTest::addColumn<SmtpSink::Tls>("tls");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("certificate"); // TestCertificates::Kind
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("lastNote");

    const QString took = Expect::TookNote;
    QTest::newRow("STARTTLS") << SmtpSink::Tls::StartTls << "127.0.0.1" << 0 << "secret"
                              << int(Kind::Signed) << Sent << took;
    QTest::newRow("STARTTLS, self-signed certificate")
        << SmtpSink::Tls::StartTls << "127.0.0.1" << 0 << "secret" << int(Kind::SelfSigned) << Sent
        << took;
    QTest::newRow("STARTTLS, wrong password")
        << SmtpSink::Tls::StartTls << "127.0.0.1" << 0 << "wrong" << int(Kind::Signed) << Failed
        << LoginHint;
    // Port 465 on an address of the loopback range of its own.
    QTest::newRow("implicit TLS on port 465") << SmtpSink::Tls::Implicit << "127.0.0.46" << 465
                                              << "secret" << int(Kind::SelfSigned) << Sent << took;
}

// Each login runs twice against the same server: the second run resumes the
// session of the first, and its report says what the first one's said about
// the certificate, which the resumed session does not show again.
void tst_Aiosmtpd::tlsLogins()
{
    QFETCH(SmtpSink::Tls, tls);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, password);
    QFETCH(int, certificate);
    QFETCH(QStringList, boxes);
    QFETCH(QString, lastNote);

    TestCertificates certificates;
    QVERIFY2(certificates.error().isEmpty(), qPrintable(certificates.error()));
    certificates.trustCa();
    const auto kind = TestCertificates::Kind(certificate);
    SmtpSink::Options options;
    options.host = host;
    options.port = port;
    options.tls = tls;
    options.certificateFile = certificates.certificateFile(kind);
    options.keyFile = certificates.keyFile(kind);
    SmtpSink sink(options);
    if (port == 465 && !sink.startError().isEmpty())
        QSKIP(qPrintable(QStringLiteral("port 465 cannot be opened here (it needs root): ") +
                         sink.startError()));
    QVERIFY2(sink.startError().isEmpty(), qPrintable(sink.startError()));

    const QString report =
        Expect::Note(kind == TestCertificates::Kind::Signed ? Notes::Id::EncryptedTrusted
                                                            : Notes::Id::EncryptedUntrusted) +
        QStringLiteral("(TLS 1.3, ");
    const auto isReport = [&report](const QString &line) { return line.startsWith(report); };
    QStringList reports;
    TestServices services; // one program: the second run finds the first one's session
    for (int attempt = 1; attempt <= 2; ++attempt) {
        EngineRun run(services);
        run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"),
                 QStringLiteral("tester"), password, sink.address());
        run.clickTest();
        QVERIFY(run.waitForRunEnd());

        QCOMPARE(run.boxTexts(), boxes);
        const QStringList log = run.logLines();
        QCOMPARE(log.last(), lastNote);
        QCOMPARE(log.contains(QStringLiteral("W:STARTTLS")), tls == SmtpSink::Tls::StartTls);
        QCOMPARE(log.count(QStringLiteral("W:EHLO [127.0.0.1]")),
                 tls == SmtpSink::Tls::StartTls ? 2 : 1);
        QCOMPARE(std::count_if(log.cbegin(), log.cend(), isReport), 1);
        reports << *std::find_if(log.cbegin(), log.cend(), isReport);
        QVERIFY(!log.contains(Expect::PlainLoginNote));
        const int delivered = boxes == Sent ? attempt : 0;
        QCOMPARE(sink.messageCount(), delivered);
        if (delivered > 0)
            QCOMPARE(sink.tlsSession(delivered), attempt == 1 ? "new" : "resumed");
    }
    QVERIFY2(reports.first().endsWith(kind == TestCertificates::Kind::Signed
                                          ? QStringLiteral(", %1)").arg(host)
                                          : QStringLiteral(", self-signed)")),
             qPrintable(reports.first()));
    QCOMPARE(reports.last(), reports.first());
    const QString attempt = QStringLiteral("%1 %2 %3")
                                .arg(boxes == Sent ? QStringLiteral("ok") : QStringLiteral("fail"),
                                     Hex(QStringLiteral("tester")), Hex(password));
    QCOMPARE(sink.authAttempts(), (QStringList{attempt, attempt}));
}

// A JSON Web Token as Microsoft issues them for mail, of their length; only
// its header must be what it says.
QString Jwt(char fill)
{
    const QByteArray header =
        QByteArray(R"({"typ":"JWT","alg":"RS256","kid":"x"})")
            .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    return QString::fromLatin1(header + '.' + QByteArray(1200, fill) + '.' + QByteArray(342, fill));
}

// Logins with an OAuth 2.0 access token where the server offers XOAUTH2, as
// Gmail and Microsoft 365 do (a password there: tst_login).
void tst_Aiosmtpd::tokenLogins_data()
{
    QTest::addColumn<QString>("pass");
    QTest::addColumn<QStringList>("exchange"); // the log from the AUTH command on
    QTest::addColumn<QString>("attempt");      // the server's auth.log line

    const QString tester = Hex(QStringLiteral("tester"));
    const QStringList tokenSent{QStringLiteral("W:AUTH XOAUTH2 ********"), Expect::PlainLoginNote,
                                Expect::PlainLoginHint};
    QTest::newRow("token accepted")
        << Jwt('a') << tokenSent + AuthAccepted + ClosingLog(QStringLiteral("bob@example.com"))
        << QStringLiteral("xoauth2 ok %1 ").arg(tester);
    // The error comes as Base64 JSON in a 334; the client's empty line lets the
    // server end with its refusal.
    QTest::newRow("token refused")
        << Jwt('b')
        << tokenSent +
               QStringList{
                   QStringLiteral("Y:334 eyJzdGF0dXMiOiAiNDAxIiwgInNjaGVtZXMiOiAiYmVhcmVyIiwg"
                                  "InNjb3BlIjogImh0dHBzOi8vbWFpbC5nb29nbGUuY29tLyJ9"),
                   QString(),
                   QString(),
                   QStringLiteral("Y:535 5.7.8 Username and Password not accepted."),
                   QString(),
                   QStringLiteral("W:QUIT"),
                   Expect::Note(Notes::Id::RefusedTokenSaying,
                                {"535", R"(status "401", scope "https://mail.google.com/")"}),
                   Expect::Hint(Hints::Cause::TokenRefused)}
        << QStringLiteral("xoauth2 fail %1 ").arg(tester);
}

void tst_Aiosmtpd::tokenLogins()
{
    QFETCH(QString, pass);
    QFETCH(QStringList, exchange);
    QFETCH(QString, attempt);

    SmtpSink::Options options;
    options.xoauth2Token = Jwt('a');
    SmtpSink sink(options);
    QVERIFY2(sink.startError().isEmpty(), qPrintable(sink.startError()));
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), QStringLiteral("tester"),
             pass, sink.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());

    QStringList expected = OpeningLog(QStringLiteral("tester")).mid(0, 12);
    expected[9] = QStringLiteral("Y:250-AUTH LOGIN PLAIN XOAUTH2");
    QCOMPARE(run.logLines(), expected + exchange);
    QCOMPARE(run.boxTexts(), exchange.last() == Expect::TookNote ? Sent : Failed);
    QCOMPARE(sink.authAttempts(), QStringList{attempt});
    // Neither the token nor the Base64 of anything that holds it is logged.
    const QString log = run.logText();
    const QString response = QStringLiteral("user=tester\x01"
                                            "auth=Bearer ") +
                             pass + QStringLiteral("\x01\x01");
    QVERIFY(!log.contains(pass.left(40)));
    QVERIFY(!log.contains(QString::fromLatin1(response.toUtf8().toBase64().left(40))));
}

QTEST_MAIN(tst_Aiosmtpd)
#include "tst_aiosmtpd.moc"
