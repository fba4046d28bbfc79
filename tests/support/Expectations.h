#pragma once

#include "support/MessageShape.h"
#include "support/ScriptedServer.h"

#include "engine/Hints.h"
#include "engine/MessageText.h"
#include "engine/Notes.h"

#include <QByteArray>
#include <QList>
#include <QMetaEnum>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

// What the suites expect of a run: its verdict, the commands and the message
// on the wire, and the log of the stock scripted server.
namespace Expect {

// The boxes at the end of a run that sent its message, and of one that failed.
const QStringList Sent{QStringLiteral("Email Sent")};
const QStringList Failed{QStringLiteral("SMTP Error!")};

// The commands of a whole run without login to bob@example.com.
const Commands FullDialogue{"HELO [127.0.0.1]", "MAIL FROM:<>", "RCPT TO:<bob@example.com>", "DATA",
                            "QUIT"};

// A user name or password as the login sends it.
inline QByteArray Base64(const QString &text)
{
    return text.toUtf8().toBase64();
}

// The stamp of the body's first line as it reads now: date and time in the
// user's short formats.
inline QString DateTimeNow()
{
    return DateText() + QStringLiteral("-") + TimeText();
}

// The stamp found in a message's data, or an empty text.
inline QString DateTimeIn(const QByteArray &data)
{
    static const QRegularExpression stamp(QStringLiteral("\r\nTest Message Sent: ([^\r\n]*)\r\n"));
    return stamp.match(QString::fromUtf8(data)).captured(1);
}

// The data of the message from the DATA reply to the end-of-data line, for
// a recipient such as "bob@example.com" and no login address, with the date
// and Message-ID masked (compare with MessageShape::Masked of what was sent).
inline QByteArray MessageData(const QString &to, const QString &stamp, const QByteArray &wireBody)
{
    return MessageShape::Expected(MessageShape::ToHeader(to), MessageShape::Admin, stamp.toUtf8(),
                                  wireBody);
}

// Every turn of a script sent in pieces of size bytes, delayMs apart.
inline QList<ScriptedServer::Turn> InPieces(QList<ScriptedServer::Turn> script, int size,
                                            int delayMs)
{
    for (ScriptedServer::Turn &turn : script) {
        turn.pieceSize = size;
        turn.pieceDelayMs = delayMs;
    }
    return script;
}

// A note or a hint as EngineRun::logLines shows it: its kind and its id, and
// a note's arguments as it filled them in, "{port}" for the port of the
// server typed and "#" for a time measured.
inline QString Note(Notes::Id id, const QStringList &arguments = {})
{
    const QString tag =
        QStringLiteral("N:") +
        QLatin1StringView(QMetaEnum::fromType<Notes::Id>().valueToKey(static_cast<int>(id)));
    return arguments.isEmpty() ? tag : tag + u'(' + arguments.join(QStringLiteral(", ")) + u')';
}
inline QString Hint(Hints::Cause cause)
{
    return QStringLiteral("H:") + QLatin1StringView(QMetaEnum::fromType<Hints::Cause>().valueToKey(
                                      static_cast<int>(cause)));
}

// The notes of every run against a scripted server: the connection made, and
// at the end of a successful dialogue its duration.
const QString ConnectedNote =
    Note(Notes::Id::ConnectedToAddress, {QStringLiteral("127.0.0.1"), QStringLiteral("{port}")});
const QString TookNote = Note(Notes::Id::DialogueTook, {QStringLiteral("#")});
// A login to a server that offers no STARTTLS, and the hint that follows it.
const QString PlainLoginNote = Note(Notes::Id::PasswordUnencrypted);
const QString PlainLoginHint = Hint(Hints::Cause::PasswordOverSubmission);
// The hints of a refused login, of a greeting that refuses this computer, and
// of AUTH on a server whose EHLO reply has none.
const QString LoginHint = Hint(Hints::Cause::LoginRefused);
const QString PolicyHint = Hint(Hints::Cause::RefusedByPolicy);
const QString NoAuthHint = Hint(Hints::Cause::NoAuthOffered);

// The log of a whole run against ScriptedServer::AcceptingScript(false) for
// a recipient, by default bob@example.com.
inline QStringList AcceptingLogWithoutAuth(const QString &to = QStringLiteral("bob@example.com"))
{
    return {
        QStringLiteral("W:Connecting to SMTP Server, please wait .."),
        ConnectedNote,
        QStringLiteral("Y:220 scripted ESMTP"),
        QString(),
        QStringLiteral("W:HELO [127.0.0.1]"),
        QStringLiteral("Y:250 scripted"),
        QString(),
        QStringLiteral("W:MAIL FROM:<>"),
        QStringLiteral("Y:250 2.1.0 Ok"),
        QString(),
        QStringLiteral("W:RCPT TO:<%1>").arg(to),
        QStringLiteral("Y:250 2.1.5 Ok"),
        QString(),
        QStringLiteral("W:DATA"),
        QStringLiteral("Y:354 End data with <CR><LF>.<CR><LF>"),
        QString(),
        QStringLiteral("W:Subject: Vormant"),
        QStringLiteral("W:."),
        QStringLiteral("Y:250 2.0.0 Ok: queued"),
        QString(),
        QStringLiteral("W:QUIT"),
        QStringLiteral("Y:221 2.0.0 Bye"),
        QString(),
        TookNote,
    };
}

// The same run with the user name "user" and the password "secret": the
// greeting is EHLO, and the login comes between its reply and MAIL FROM.
inline QStringList AcceptingLogWithAuth()
{
    QStringList log = AcceptingLogWithoutAuth();
    const QStringList login{
        QStringLiteral("W:AUTH LOGIN"),
        QStringLiteral("Y:334 VXNlcm5hbWU6"),
        QString(),
        QStringLiteral("W:dXNlcg=="),
        QStringLiteral("Y:334 UGFzc3dvcmQ6"),
        QString(),
        QStringLiteral("W:********"),
        PlainLoginNote,
        PlainLoginHint,
        QStringLiteral("Y:235 2.7.0 Authentication successful"),
        QString(),
    };
    // A client that logs in greets with EHLO.
    log.replace(log.indexOf(QStringLiteral("W:HELO [127.0.0.1]")),
                QStringLiteral("W:EHLO [127.0.0.1]"));
    const qsizetype afterHelo = log.indexOf(QStringLiteral("Y:250 scripted")) + 2;
    for (qsizetype i = 0; i < login.size(); ++i)
        log.insert(afterHelo + i, login.at(i));
    return log;
}

} // namespace Expect
