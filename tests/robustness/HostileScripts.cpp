#include "robustness/HostileScripts.h"

#include "support/Expectations.h"

namespace {

Exchange Reply(const QByteArray &reply, const QStringList &logAfter, const QByteArray &command,
               Upto reached)
{
    QString shown = QString::fromUtf8(reply);
    shown.chop(2); // the CR LF; the notation adds the line end itself
    return {ScriptedServer::Say(reply), QStringLiteral("<") + shown, logAfter, command, reached};
}
} // namespace

QList<Exchange> StandardExchanges(bool withAuth)
{
    // A client that logs in greets with EHLO.
    const QByteArray greeting = withAuth ? "EHLO [127.0.0.1]" : "HELO [127.0.0.1]";
    QList<Exchange> exchanges{Reply("220 scripted ESMTP\r\n", {">" + QString::fromLatin1(greeting)},
                                    greeting, Upto::Helo)};
    if (withAuth) {
        exchanges << Reply("250 scripted\r\n", {">AUTH LOGIN"}, "AUTH LOGIN", Upto::AuthLogin)
                  << Reply("334 VXNlcm5hbWU6\r\n", {">dXNlcg=="}, "dXNlcg==", Upto::User)
                  << Reply("334 UGFzc3dvcmQ6\r\n",
                           {">********", u'#' + Expect::PlainLoginNote,
                            u'#' + Expect::PlainLoginHint},
                           "c2VjcmV0", Upto::Pass)
                  << Reply("235 2.7.0 Authentication successful\r\n", {">MAIL FROM:<>"},
                           "MAIL FROM:<>", Upto::Mail);
    } else {
        exchanges << Reply("250 scripted\r\n", {">MAIL FROM:<>"}, "MAIL FROM:<>", Upto::Mail);
    }
    exchanges << Reply("250 2.1.0 Ok\r\n", {">RCPT TO:<bob@example.com>"},
                       "RCPT TO:<bob@example.com>", Upto::Rcpt)
              << Reply("250 2.1.5 Ok\r\n", {">DATA"}, "DATA", Upto::Data)
              << Reply("354 End data with <CR><LF>.<CR><LF>\r\n", {">Subject: Vormant", ">."}, {},
                       Upto::Dot)
              << Reply("250 2.0.0 Ok: queued\r\n", {">QUIT"}, "QUIT", Upto::Quit);
    return exchanges;
}

Prefix PrefixOf(const QList<Exchange> &exchanges, Upto upto)
{
    Prefix prefix;
    if (upto == Upto::Connect)
        return prefix;
    for (const Exchange &exchange : exchanges) {
        prefix.script << exchange.turn;
        prefix.log << exchange.shown << exchange.logAfter;
        if (!exchange.command.isEmpty())
            prefix.commands << exchange.command;
        if (exchange.reached == Upto::Dot)
            prefix.messageSent = true;
        if (exchange.reached == upto)
            return prefix;
    }
    qFatal("PrefixOf: the dialogue never reaches that point");
}

Prefix StandardUpto(Upto upto, bool withAuth)
{
    return PrefixOf(StandardExchanges(withAuth), upto);
}

Script ByteByByte(Script script, int pauseMs)
{
    for (Turn &turn : script) {
        turn.pieceSize = 1;
        turn.pieceDelayMs = pauseMs;
    }
    return script;
}

Turn SayThenReset(const QByteArray &reply)
{
    Turn turn = ScriptedServer::Say(reply);
    turn.resetAfter = true;
    return turn;
}
