#include "robustness/RunChecks.h"
#include "robustness/Transcript.h"
#include "support/EngineRun.h"
#include "support/Expectations.h"
#include "support/MessageShape.h"
#include "support/ScriptedServer.h"

#include "app/Module1.h"
#include "engine/modQuendel_EmailClient.h"

#include <QClipboard>
#include <QtTest>

// What a user may type or paste into the five fields at the Test click. A
// field that cannot start a run gets a "Form Fill Error!" box, nothing is
// sent and nothing typed is lost; everything else goes on the wire exactly as
// typed (within the dialogue's own framing), and nothing more.
class tst_BadInput : public QObject
{
    Q_OBJECT
private slots:
    void refusedAtTheClick_data();
    void refusedAtTheClick();
    void sentAsTyped_data();
    void sentAsTyped();
    void serverOfBlanks();
};

namespace {
enum class Field { Message, Email, User, Pass, Server };

QLineEdit *FieldBox(frmMain &window, Field field)
{
    switch (field) {
    case Field::Message:
        return window.txtMessage;
    case Field::Email:
        return window.txtEmail;
    case Field::User:
        return window.txtUser;
    case Field::Pass:
        return window.txtPass;
    case Field::Server:
        return window.txtServer;
    }
    return nullptr;
}

// As a user does it: select what the field holds and paste over it with
// Ctrl+V; an empty text is a field cleared with Delete.
void PasteInto(QLineEdit *box, const QString &text)
{
    box->setFocus();
    box->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(box, Qt::Key_Delete);
        return;
    }
    QGuiApplication::clipboard()->setText(text);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
}

// Pastes each field's text and returns what the fields then hold.
Fields PasteAll(EngineRun &run, const Fields &fields)
{
    frmMain &window = run.window();
    PasteInto(window.txtMessage, fields.message);
    PasteInto(window.txtEmail, fields.email);
    PasteInto(window.txtUser, fields.user);
    PasteInto(window.txtPass, fields.pass);
    PasteInto(window.txtServer, fields.server);
    return {window.txtMessage->text(), window.txtEmail->text(), window.txtUser->text(),
            window.txtPass->text(), window.txtServer->text()};
}

const QString FormFillError = QStringLiteral("Form Fill Error!\r\n");
const QString FillAll = FormFillError + QStringLiteral("Please fill out all information");
const QString NoControlInAddress =
    FormFillError +
    QStringLiteral("The email address may not contain line breaks or control characters");
const QString NoControlInServer =
    FormFillError +
    QStringLiteral("The server name may not contain line breaks or control characters");
const QString NoBracketBreakers =
    FormFillError + QStringLiteral("The email address may not contain \"<\", \">\" or blanks");
const QString BadPort =
    FormFillError + QStringLiteral("The server's port must be a number from 1 to 65535");

Fields WithField(Fields fields, Field field, const QString &text)
{
    switch (field) {
    case Field::Message:
        fields.message = text;
        break;
    case Field::Email:
        fields.email = text;
        break;
    case Field::User:
        fields.user = text;
        break;
    case Field::Pass:
        fields.pass = text;
        break;
    case Field::Server:
        fields.server = text;
        break;
    }
    return fields;
}

} // namespace

void tst_BadInput::refusedAtTheClick_data()
{
    QTest::addColumn<Field>("field");
    QTest::addColumn<QString>("text"); // "{port}" stands for the listening server's port
    QTest::addColumn<QString>("box");

    QTest::newRow("empty message") << Field::Message << QString() << FillAll;
    QTest::newRow("empty recipient") << Field::Email << QString() << FillAll;
    QTest::newRow("empty server") << Field::Server << QString() << FillAll;

    const struct
    {
        const char *name;
        const char *text;
        qsizetype size;
    } addresses[] = {
        {"CR LF and a command in the address", "bob@example.com\r\nRSET", 21},
        {"LF in the address", "bob@example.com\nDATA", 20},
        {"bare CR in the address", "bob\r@example.com", 16},
        {"NUL in the address", "bob\0@example.com", 16},
        {"tab in the address", "bob\t@example.com", 16},
        {"escape in the address", "bob\x1b@example.com", 16},
        {"DEL in the address", "bob\x7f@example.com", 16},
        {"0x01, the first control character",
         "\x01"
         "bob@example.com",
         16},
        {"0x1F, the last control character", "bob@example.com\x1f", 16},
    };
    for (const auto &address : addresses)
        QTest::newRow(address.name)
            << Field::Email << QString::fromUtf8(address.text, address.size) << NoControlInAddress;

    // The address goes out inside angle brackets, which these would break.
    for (const char *address :
         {"<bob@example.com>", "bob@example.com>", "<bob@example.com", "bob smith@example.com",
          "bob@example.com eve@example.com", " bob@exa mple.com "})
        QTest::newRow(address) << Field::Email << QString::fromUtf8(address) << NoBracketBreakers;

    QTest::newRow("CR LF after the server")
        << Field::Server << QStringLiteral("127.0.0.1:{port}\r\n") << NoControlInServer;
    QTest::newRow("LF inside the server")
        << Field::Server << QStringLiteral("127.0.0.1\n:{port}") << NoControlInServer;
    QTest::newRow("NUL in the server")
        << Field::Server << QString::fromUtf8("127.0.0.1\0:{port}", 17) << NoControlInServer;

    for (const char *server : {"127.0.0.1:0", "127.0.0.1:65536", "127.0.0.1:99999", "127.0.0.1:-25",
                               "127.0.0.1:+25", "127.0.0.1: 25", "127.0.0.1:abc", "127.0.0.1:",
                               "127.0.0.1:0x19", "127.0.0.1:\uff12\uff15", "127.0.0.1:000025",
                               "[::1]:0", "[::1]:70000", "[::1]25", "[::1]:", "[::1"})
        QTest::newRow(server) << Field::Server << QString::fromUtf8(server) << BadPort;
}

void tst_BadInput::refusedAtTheClick()
{
    QFETCH(Field, field);
    QFETCH(QString, text);
    QFETCH(QString, box);

    ScriptedServer server(ScriptedServer::AcceptingScript(false));
    text.replace(QStringLiteral("{port}"), QString::number(server.port()));
    EngineRun run(EngineRun::On::Form);
    Fields fields{
        QStringLiteral("Hello"), QStringLiteral("bob@example.com"), {}, {}, server.address()};
    const Fields typed = PasteAll(run, fields);
    PasteInto(FieldBox(run.window(), field), text);
    QCOMPARE(FieldBox(run.window(), field)->text(), text); // pasted whole

    // Values of an earlier run stay as they were.
    Module1::MailBody = QStringLiteral("earlier body");
    Module1::MailTo[1] = QStringLiteral("earlier@example.com");
    Module1::SmtpServer = QStringLiteral("earlier.example.com");
    run.controls().Log().SetText(QStringLiteral("earlier log\r\n"));

    run.clickTest();

    QCOMPARE(run.boxes().size(), 1);
    QCOMPARE(run.boxes().first().text, box);
    QCOMPARE(run.boxes().first().style, 48);
    QCOMPARE(run.boxes().first().title, QStringLiteral("Vormant"));
    QTest::qWait(100); // time enough for a connection that should not come
    QCOMPARE(server.connections(), 0);
    QVERIFY(server.received().isEmpty());
    QCOMPARE(Module1::MailBody, QStringLiteral("earlier body"));
    QCOMPARE(Module1::MailTo[1], QStringLiteral("earlier@example.com"));
    QCOMPARE(Module1::SmtpServer, QStringLiteral("earlier.example.com"));
    QCOMPARE(run.logText(), QStringLiteral("earlier log\r\n"));
    // Editable, and holding every character typed.
    VerifyWindowReady(run, WithField(typed, field, text));
    if (QTest::currentTestFailed())
        return;
    VerifyNextRunWorks(run);
}

void tst_BadInput::sentAsTyped_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("pass");
    QTest::addColumn<QList<QByteArray>>("commands"); // after HELO and any AUTH
    QTest::addColumn<QByteArray>("helo");
    QTest::addColumn<QByteArray>("toHeader");
    QTest::addColumn<QByteArray>("from");     // the address in the From header
    QTest::addColumn<QByteArray>("body");     // as it should go on the wire
    QTest::addColumn<QByteArray>("encoding"); // of the body

    const QByteArray admin("Admin@vormant.invalid");
    const QByteArray seven("7bit");
    const QList<QByteArray> bob{"MAIL FROM:<>", "RCPT TO:<bob@example.com>", "DATA", "QUIT"};
    const QString bobAddress = QStringLiteral("bob@example.com");

    QTest::newRow("message of one blank")
        << QStringLiteral(" ") << bobAddress << QString() << QString() << bob
        << QByteArray("HELO [127.0.0.1]") << QByteArray("bob <bob@example.com>") << admin
        << QByteArray(" ") << seven;
    QTest::newRow("line breaks of every kind in the message")
        << QStringLiteral("one\ntwo\r\nthree\rfour\n") << bobAddress << QString() << QString()
        << bob << QByteArray("HELO [127.0.0.1]") << QByteArray("bob <bob@example.com>") << admin
        << QByteArray("one\r\ntwo\r\nthree\r\nfour\r\n") << seven;
    QTest::newRow("message lines that begin with a dot")
        << QStringLiteral(".\n..x\n.hidden\nnot.this") << bobAddress << QString() << QString()
        << bob << QByteArray("HELO [127.0.0.1]") << QByteArray("bob <bob@example.com>") << admin
        << QByteArray("..\r\n...x\r\n..hidden\r\nnot.this") << seven;
    QTest::newRow("message that tries to end the data and give commands")
        << QStringLiteral("x\r\n.\r\nRSET\r\nMAIL FROM:<evil@example.com>\r\n.") << bobAddress
        << QString() << QString() << bob << QByteArray("HELO [127.0.0.1]")
        << QByteArray("bob <bob@example.com>") << admin
        << QByteArray("x\r\n..\r\nRSET\r\nMAIL FROM:<evil@example.com>\r\n..") << seven;
    QTest::newRow("control characters in the message")
        << QString::fromUtf8("a\0b\x1b[2Jc\x7f\td", 11) << bobAddress << QString() << QString()
        << bob << QByteArray("HELO [127.0.0.1]") << QByteArray("bob <bob@example.com>") << admin
        << QByteArray("a=00b=1B[2Jc=7F\td") << QByteArray("quoted-printable");
    {
        // 1 MiB of 80-character lines, every tenth one beginning with a dot.
        QStringList typed;
        QList<QByteArray> wire;
        for (int i = 0; typed.size() * 81 < 1024 * 1024; ++i) {
            const QString line =
                (i % 10 == 0 ? QStringLiteral(".") : QString()) + QString(79, QChar(u'a' + i % 26));
            typed << line;
            wire << (i % 10 == 0 ? "." : "") + line.toUtf8();
        }
        QTest::newRow("message of 1 MiB")
            << typed.join(u'\n') << bobAddress << QString() << QString() << bob
            << QByteArray("HELO [127.0.0.1]") << QByteArray("bob <bob@example.com>") << admin
            << wire.join("\r\n") << seven;
    }

    const auto authCommands = [&bob](const QString &user, const QString &pass) {
        return QList<QByteArray>{"AUTH LOGIN", Expect::Base64(user), Expect::Base64(pass)} + bob;
    };
    const struct
    {
        const char *name;
        QString user;
        QString pass;
    } credentials[] = {
        {"line breaks in user name and password", QStringLiteral("user\r\nRSET"),
         QStringLiteral("pa\r\nss\n")},
        {"Latin-1 letters in user name and password", QStringLiteral("Jürgen"),
         QStringLiteral("ÄÖÜßé")},
        {"Cyrillic user name and password", QStringLiteral("пользователь"),
         QStringLiteral("пароль")},
        {"CJK user name, password with an emoji", QStringLiteral("用户名"),
         QStringLiteral("密码🔑")},
        {"control characters in user name and password", QString::fromUtf8("u\0s\x1b[0m", 7),
         QString::fromUtf8("p\x07\x7f\tw", 5)},
        {"blanks around user name and password", QStringLiteral(" user "),
         QStringLiteral(" secret ")},
    };
    for (const auto &credential : credentials)
        QTest::newRow(credential.name)
            << QStringLiteral("Hello") << bobAddress << credential.user << credential.pass
            << authCommands(credential.user, credential.pass) << QByteArray("EHLO [127.0.0.1]")
            << QByteArray("bob <bob@example.com>") << admin << QByteArray("Hello") << seven;

    QTest::newRow("user name without password")
        << QStringLiteral("Hello") << bobAddress << QStringLiteral("user") << QString() << bob
        << QByteArray("HELO [127.0.0.1]") << QByteArray("bob <bob@example.com>") << admin
        << QByteArray("Hello") << seven;
    QTest::newRow("password without user name")
        << QStringLiteral("Hello") << bobAddress << QString() << QStringLiteral("secret") << bob
        << QByteArray("HELO [127.0.0.1]") << QByteArray("bob <bob@example.com>") << admin
        << QByteArray("Hello") << seven;

    const auto address = [](const QByteArray &rcpt) {
        return QList<QByteArray>{"MAIL FROM:<>", "RCPT TO:<" + rcpt + ">", "DATA", "QUIT"};
    };
    QTest::newRow("address of blanks")
        << QStringLiteral("Hello") << QStringLiteral("   ") << QString() << QString() << address("")
        << QByteArray("HELO [127.0.0.1]") << QByteArray("<>") << admin << QByteArray("Hello")
        << seven;
}

void tst_BadInput::sentAsTyped()
{
    QFETCH(QString, message);
    QFETCH(QString, email);
    QFETCH(QString, user);
    QFETCH(QString, pass);
    QFETCH(QList<QByteArray>, commands);
    QFETCH(QByteArray, helo);
    QFETCH(QByteArray, toHeader);
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, encoding);

    const bool withAuth = !user.isEmpty() && !pass.isEmpty();
    ScriptedServer server(ScriptedServer::AcceptingScript(withAuth));
    EngineRun run(EngineRun::On::Form);
    const Fields typed = PasteAll(run, {message, email, user, pass, server.address()});
    QCOMPARE(typed.message, message); // nothing lost on the way into the fields
    QCOMPARE(typed.email, email);
    QCOMPARE(typed.user, user);
    QCOMPARE(typed.pass, pass);

    run.clickTest();
    QVERIFY(run.waitForRunEnd(60000));

    QCOMPARE(run.boxTexts(), Expect::Sent);
    QCOMPARE(server.commands(), QList<QByteArray>{helo} + commands);
    QByteArray wire = server.received();
    QVERIFY(!TakeStamp(wire).isEmpty());
    const QByteArray expectedData =
        MessageShape::Expected(toHeader, from, "<stamp>", body, encoding);
    QCOMPARE(wire, ExpectedWire(server.commands(), expectedData));

    // The log shows the user name's Base64 but never the password, in any form.
    const QString log = run.logText();
    if (withAuth) {
        QVERIFY(run.logLines().contains(QStringLiteral("W:") +
                                        QString::fromLatin1(Expect::Base64(user))));
        QVERIFY(run.logLines().contains(QStringLiteral("W:********")));
        QVERIFY(!log.contains(QString::fromLatin1(Expect::Base64(pass))));
    }
    if (!pass.trimmed().isEmpty())
        QVERIFY(!log.contains(pass));

    VerifyWindowReady(run, typed);
    if (QTest::currentTestFailed())
        return;
    VerifyNextRunWorks(run);
}

// Blanks pass the check (only an empty field is missing), and a host name of
// blanks then fails like any name that does not resolve.
void tst_BadInput::serverOfBlanks()
{
    EngineRun run(EngineRun::On::Form);
    const Fields typed = PasteAll(
        run,
        {QStringLiteral("   "), QStringLiteral("bob@example.com"), {}, {}, QStringLiteral("   ")});
    run.clickTest();
    QVERIFY(run.waitForRunEnd(60000));

    QCOMPARE(run.boxTexts(), Expect::Failed);
    QCOMPARE(Module1::SmtpServer, QStringLiteral("   "));
    QCOMPARE(run.logLines(), ExpectedLog({u'#' + Expect::Note(Notes::Id::HostNotFound,
                                                              {"   ", "Host not found"})}));
    VerifyWindowReady(run, typed);
    if (QTest::currentTestFailed())
        return;
    VerifyNextRunWorks(run);
}

QTEST_MAIN(tst_BadInput)
#include "tst_badinput.moc"
