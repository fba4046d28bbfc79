#include "support/EngineRun.h"
#include "support/Expectations.h"
#include "support/ReplyTimeouts.h"
#include "support/ScriptedServer.h"
#include "support/TestCertificates.h"
#include "support/Transcripts.h"

#include "engine/modQuendel_EmailClient.h"

#include <QtTest>

#include <memory>

using Expect::Failed;
using Expect::Hint;
using Expect::Note;
using Expect::Sent;
using Cause = Hints::Cause;
using Id = Notes::Id;

// A login with STARTTLS: the certificate's report, the servers that take a
// login only inside TLS, and every way the upgrade can go wrong.
class tst_StartTls : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void startTls_data();
    void startTls();

private:
    std::unique_ptr<TestCertificates> m_certificates;
};

void tst_StartTls::initTestCase()
{
    m_certificates = std::make_unique<TestCertificates>();
    QVERIFY2(m_certificates->error().isEmpty(), qPrintable(m_certificates->error()));
    m_certificates->trustCa();
}

namespace {
// A server that offers AUTH only inside TLS, replayed from its transcript:
// the login must go through STARTTLS.
Script LoginInsideTls(const ServerTranscript &server)
{
    using S = ScriptedServer;
    const int pieceSize = server.replies.value("pieces").trimmed().toInt();
    return {S::Say(server.reply("greeting")),
            S::SayInPieces(server.reply("ehlo"), pieceSize, 1),
            S::SayThenTls(server.reply("starttls")),
            S::SayInPieces(server.reply("ehlo-tls"), pieceSize, 1),
            S::Say("334 VXNlcm5hbWU6\r\n"),
            S::Say("334 UGFzc3dvcmQ6\r\n"),
            S::Say(server.reply("auth")),
            S::Say(server.reply("mail")),
            S::Say(server.reply("rcpt")),
            S::Say(server.reply("data")),
            S::Say(server.reply("queued")),
            S::Say(server.reply("quit"))};
}

// The server's reply lines as the log shows them, in yellow, in order.
QStringList ReplyLines(const Script &script)
{
    QStringList lines;
    for (const Turn &turn : script) {
        for (const QByteArray &line : turn.reply.split('\n')) {
            if (!line.isEmpty())
                lines << QStringLiteral("Y:") + QString::fromUtf8(line.chopped(1));
        }
    }
    return lines;
}
} // namespace

// A login with STARTTLS (RFC 3207), and every way the upgrade can go wrong.
// Whatever happens, the password never crosses the wire in clear.
void tst_StartTls::startTls_data()
{
    using Tls = ScriptedServer::Tls;
    using Kind = TestCertificates::Kind;
    QTest::addColumn<Script>("script");
    QTest::addColumn<int>("certificate"); // TestCertificates::Kind
    QTest::addColumn<int>("replyTimeoutMs");
    QTest::addColumn<Commands>("commands");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("note"); // the start of a note the log must hold
    QTest::addColumn<QString>("says"); // how that note ends, "" for anything
    QTest::addColumn<QString>("hint"); // the hint after the report, or at the end; "" for none

    using S = ScriptedServer;
    const Script offer{S::Say("220 mx.test ESMTP\r\n"),
                       S::Say("250-mx.test\r\n250-STARTTLS\r\n250 HELP\r\n")};
    const Script inside{S::Say("250-mx.test\r\n250-AUTH LOGIN PLAIN\r\n250 HELP\r\n"),
                        S::Say("334 VXNlcm5hbWU6\r\n"),
                        S::Say("334 UGFzc3dvcmQ6\r\n"),
                        S::Say("235 2.7.0 ok\r\n"),
                        S::Say("250 ok\r\n"),
                        S::Say("250 ok\r\n"),
                        S::Say("354 go on\r\n"),
                        S::Say("250 queued\r\n"),
                        S::Say("221 bye\r\n")};
    const Commands whole{
        "EHLO [127.0.0.1]", "STARTTLS",     "EHLO [127.0.0.1]",          "AUTH LOGIN", "dXNlcg==",
        "c2VjcmV0",         "MAIL FROM:<>", "RCPT TO:<bob@example.com>", "DATA",       "QUIT"};
    const Commands upToTls{"EHLO [127.0.0.1]", "STARTTLS"};
    const int generous = 10000;

    // Whatever the certificate, the report says what it is and the test goes on.
    const QString trusted = Note(Id::EncryptedTrusted) + QStringLiteral("(TLS 1.3, ");
    const QString untrusted = Note(Id::EncryptedUntrusted) + QStringLiteral("(TLS 1.3, ");
    const struct
    {
        const char *name;
        Kind kind;
        QString note;
        const char *says = "";
        QString hint = {};
    } certificates[] = {
        {"trusted certificate", Kind::Signed, trusted, ", 127.0.0.1)"},
        {"self-signed certificate: reported, the test goes on", Kind::SelfSigned, untrusted,
         ", self-signed)"},
        {"expired certificate", Kind::Expired, untrusted, ", expired)"},
        {"certificate for another name", Kind::OtherName, untrusted,
         ", issued for another name than 127.0.0.1)", Hint(Cause::CertificateName)},
    };
    for (const auto &certificate : certificates) {
        QTest::addRow("%s", certificate.name)
            << offer + Script{S::SayThenTls("220 2.0.0 Ready to start TLS\r\n")} + inside
            << int(certificate.kind) << generous << whole << Sent << certificate.note
            << QString::fromLatin1(certificate.says) << certificate.hint;
    }
    // Servers as Debian installs them, which offer AUTH only after STARTTLS.
    // Each refuses AUTH before STARTTLS (Postfix on port 587 refuses every
    // mail command), and OpenSMTPD refuses a second EHLO before it: the only
    // dialogue they all accept is EHLO, STARTTLS, EHLO, AUTH LOGIN.
    for (const ServerTranscript &tlsOnly :
         ReadTranscripts(QStringLiteral(VORMANT_TRANSCRIPTS_DIR "/tls-only-servers.txt"))) {
        QTest::addRow("%s", qPrintable(tlsOnly.name))
            << LoginInsideTls(tlsOnly) << int(Kind::Signed) << generous << whole << Sent << trusted
            << QStringLiteral(", 127.0.0.1)") << QString();
    }
    QTest::newRow("STARTTLS refused")
        << offer + Script{S::Say("454 4.7.0 TLS not available due to local problem\r\n")}
        << int(Kind::Signed) << generous << upToTls << Failed
        << Note(Id::RefusedCommand, {"STARTTLS", "454"}) << QString() << QString();
    QTest::newRow("replies injected after the 220")
        << offer + Script{S::SayThenTls("220 2.0.0 Ready\r\n250 injected\r\n235 2.7.0 ok\r\n")}
        << int(Kind::Signed) << generous << upToTls << Failed << Note(Id::PlainTextAfterStartTls)
        << QString() << QString();
    // A failed handshake says why: the alert and what it means, or the
    // library's own text.
    const struct
    {
        const char *name;
        Tls tls;
        Kind kind;
        const char *reason;
        QString hint = {};
    } failures[] = {
        {"garbage instead of a handshake", Tls::Garbage, Kind::Signed,
         "Error during SSL handshake: "},
        {"close in the middle of the handshake", Tls::CloseMidway, Kind::Signed,
         "the server closed the connection in the middle of the handshake)"},
        {"TLS 1.0 only", Tls::V1_0Only, Kind::Signed,
         "the server sent the fatal TLS alert 70, protocol version: no TLS version both sides "
         "support)",
         Hint(Cause::TlsTooOld)},
        {"alert 80 at once", Tls::AlertAtOnce, Kind::SelfSigned,
         "the server sent the fatal TLS alert 80, internal error)"},
        // The library's own text is empty here: the certificate's fault and the
        // alert together leave it nothing to say.
        {"alert 80 after the ServerHello and Certificate", Tls::AlertAfterHello, Kind::SelfSigned,
         "the server sent the fatal TLS alert 80, internal error)"},
    };
    for (const auto &failure : failures) {
        QTest::addRow("%s", failure.name)
            << offer + Script{S::SayThenTls("220 2.0.0 Ready\r\n", failure.tls)}
            << int(failure.kind) << generous << upToTls << Failed
            << Note(Id::HandshakeFailed) + QStringLiteral("(127.0.0.1, {port}, ") +
                   QString::fromLatin1(failure.reason)
            << QString() << failure.hint;
    }
    QTest::newRow("handshake that never finishes")
        << offer + Script{S::SayThenTls("220 2.0.0 Ready\r\n", Tls::Stall)} << int(Kind::Signed)
        << 700 << upToTls << Failed << Note(Id::HandshakeTimedOut, {"700 ms"}) << QString()
        << QString();
}

void tst_StartTls::startTls()
{
    QFETCH(Script, script);
    QFETCH(int, certificate);
    QFETCH(int, replyTimeoutMs);
    QFETCH(Commands, commands);
    QFETCH(QStringList, boxes);
    QFETCH(QString, note);
    QFETCH(QString, says);
    QFETCH(QString, hint);

    const ReplyTimeouts timeouts(replyTimeoutMs);
    const auto kind = TestCertificates::Kind(certificate);
    ScriptedServer server(script);
    server.setTls(m_certificates->certificate(kind), m_certificates->key(kind));
    EngineRun run;
    run.fill(QStringLiteral("Hello"), QStringLiteral("bob@example.com"), QStringLiteral("user"),
             QStringLiteral("secret"), server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd(30000));

    QCOMPARE(run.boxTexts(), boxes);
    QCOMPARE(server.commands(), commands);
    QVERIFY(run.windowUnlocked());
    // The password, in any form, never crossed the loopback in clear.
    QVERIFY(!server.rawReceived().contains("c2VjcmV0"));
    QVERIFY(!server.rawReceived().contains("secret"));

    const QStringList log = run.logLines();
    const QString logText = run.logText();
    QVERIFY2(std::any_of(
                 log.cbegin(), log.cend(),
                 [&](const QString &line) { return line.startsWith(note) && line.endsWith(says); }),
             qPrintable(log.join(u'\n')));
    // No note leaves its reason out.
    for (const QString &line : logText.split(QStringLiteral("\r\n"))) {
        QVERIFY2(!line.contains(QStringLiteral("()")) && !line.contains(QStringLiteral(": )")),
                 qPrintable(line));
    }
    // A failed run ends with its hint, or with no hint at all.
    if (boxes == Failed)
        QCOMPARE(log.last().startsWith(QStringLiteral("H:")) ? log.last() : QString(), hint);
    // A certificate is reported once, right after the handshake, before EHLO goes again.
    if (boxes == Sent) {
        const auto isReport = [](const QString &line) {
            return line.startsWith(Note(Id::EncryptedTrusted) + u'(') ||
                   line.startsWith(Note(Id::EncryptedUntrusted) + u'(');
        };
        QCOMPARE(std::count_if(log.cbegin(), log.cend(), isReport), 1);
        const qsizetype encrypted = std::find_if(log.cbegin(), log.cend(), isReport) - log.cbegin();
        QVERIFY(log.at(encrypted - 2).startsWith(QStringLiteral("Y:220 ")));
        QCOMPARE(log.at(encrypted - 1), QString());
        // The hint the report calls for comes right after it.
        const qsizetype next = hint.isEmpty() ? encrypted + 1 : encrypted + 2;
        if (!hint.isEmpty())
            QCOMPARE(log.at(encrypted + 1), hint);
        QCOMPARE(log.at(next), QStringLiteral("W:EHLO [127.0.0.1]"));
        QVERIFY(!log.contains(Expect::PlainLoginNote));
        // Every line the server sent, plain or encrypted, is in the log in yellow.
        QStringList yellow;
        std::copy_if(log.cbegin(), log.cend(), std::back_inserter(yellow),
                     [](const QString &line) { return line.startsWith(QStringLiteral("Y:")); });
        QCOMPARE(yellow, ReplyLines(script));
    }
}

QTEST_MAIN(tst_StartTls)
#include "tst_starttls.moc"
