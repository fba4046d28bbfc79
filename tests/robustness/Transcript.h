#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// What a run should leave behind, written the way a reader of the log and of
// a wire capture would describe it.

// The log of a run in a short notation, each item one entry:
//   "<text"  a server reply logged in yellow, then the empty line the log
//            adds after every reply ("\n" separates the lines of a
//            multi-line reply);
//   "~text"  text logged in yellow as it came, with no reply end of its own
//            (an unfinished reply, or the first 64 KiB of a runaway one);
//   ">text"  a command logged in white;
//   "#line"  a note or a hint of the tool's own, as Expect::Note and
//            Expect::Hint give it.
// The white first line of every run comes first by itself.
QStringList ExpectedLog(const QStringList &items);

// The message data a run sends after DATA to a recipient such as
// "bob@example.com", the date and time line included as "Test Message Sent:
// <stamp>", the Date and Message-ID masked as MessageShape does;
// BodyOnWire is the body as it should go out.
QByteArray ExpectedData(const QString &address, const QByteArray &bodyOnWire);

// The bytes a server should have received: each command with its CR LF, and
// after "DATA", when the message went out, the message data.
QByteArray ExpectedWire(const QList<QByteArray> &commands, const QByteArray &data);

// Replaces the date and time of "Test Message Sent: " with "<stamp>" and
// returns what stood there (empty when the line is missing); masks the Date
// header and the Message-ID as MessageShape::Masked does.
QByteArray TakeStamp(QByteArray &wire);

// The date and time line as the engine writes it at this moment.
QByteArray StampNow();
