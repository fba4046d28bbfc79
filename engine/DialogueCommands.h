#pragma once

#include "engine/Hints.h"
#include "engine/Step.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>

namespace modQuendel_EmailClient {

// Every command the client sends in a dialogue, one row each of the table in
// DialogueCommands.cpp.
enum class Command {
    Helo,
    Ehlo,
    HeloAfterEhlo, // the server refused EHLO: it has no extensions
    StartTls,
    AuthLogin,
    UserName,
    Password,
    AuthPlain,       // the user name and password along with the command
    AuthXoauth2,     // an access token along with the command
    AuthOAuthBearer, // the same, by the standard mechanism
    MailFrom,
    RcptTo,
    Data,
    Message,
    Quit,
};

// What one command puts on the wire, and what the log shows of it, piece by
// piece: never the password, and of the message only its subject and the end
// of the data.
struct CommandText
{
    QString sent;
    QStringList logged;
};

// Which deadline the reply to a command has (RFC 5321, 4.5.3.2).
enum class ReplyWait { Reply, DataReply };

struct CommandRow
{
    Command command;
    CommandText (*text)(std::int16_t Index);
    Step next;
    // How notes name the command ("RCPT TO", "the password").
    QStringView label;
    // Where the run stands while the command's reply is awaited.
    Hints::Stage stage;
    ReplyWait wait;
    // The user name and password, or a token, go along with it.
    bool carriesPassword;
};

const CommandRow &RowOf(Command command);

// The end of every line on the wire (RFC 5321, 2.3.8).
inline const QString CRLF = QStringLiteral("\r\n");

// Both a user name and a password are given: the run logs in.
bool LoggingIn();

// A login with an access token.
constexpr bool IsTokenLogin(Command command)
{
    return command == Command::AuthXoauth2 || command == Command::AuthOAuthBearer;
}

// The recipient's or the sender's address needs SMTPUTF8 (RFC 6531).
bool NeedsUtf8(std::int16_t Index);

} // namespace modQuendel_EmailClient
