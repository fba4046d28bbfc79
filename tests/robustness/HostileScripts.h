#pragma once

#include "support/ScriptedServer.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The last thing the client has sent when a server turns hostile.
enum class Upto { Connect, Helo, AuthLogin, User, Pass, Mail, Rcpt, Data, Dot, Quit };

// One reply of a well-behaved server and what the client does about it.
struct Exchange
{
    Turn turn;            // the server's reply
    QString shown;        // the reply in ExpectedLog notation
    QStringList logAfter; // what the client logs after it
    QByteArray command;   // the command line it sends (none for the message)
    Upto reached;         // what the client has sent then
};

// The dialogue of a server that accepts everything, reply by reply; the
// recipient is bob@example.com, the credentials "user" and "secret".
QList<Exchange> StandardExchanges(bool withAuth);

// The first part of a dialogue: the replies that bring the client to `upto`,
// the commands it sent, and the log so far in ExpectedLog notation.
struct Prefix
{
    Script script;
    QList<QByteArray> commands;
    QStringList log;
    bool messageSent = false;
};

Prefix PrefixOf(const QList<Exchange> &exchanges, Upto upto);
Prefix StandardUpto(Upto upto, bool withAuth = false);

// Each turn of the script sent one byte at a time, with a pause between bytes.
Script ByteByByte(Script script, int pauseMs);

Turn SayThenReset(const QByteArray &reply);
