#pragma once

#include <QString>

// The texts that go into commands and the message.

// The part of an address before its first "@"; the whole address when it has
// none ("postmaster" is a valid recipient).
QString LocalPart(const QString &address);

// Leading and trailing blanks removed.
QString Trim(const QString &text);

// Text that cannot stand inside the angle brackets of a path: "<", ">" or a
// blank between its first and last character.
bool BreaksPathBrackets(const QString &address);

// The reverse-path of MAIL FROM, without its brackets. A login name that is
// itself a mail address is the sender (submission servers check the sender
// against the login); otherwise the null reverse-path, which every server
// must accept and which no sender-domain check can refuse.
QString ReversePath(const QString &user, bool loggingIn);

// The body as it goes on the wire: every line end is CR LF and a line that
// begins with "." gets a second one, so no body can end the data early.
QString BodyForWire(const QString &body);

// Date and time of day in the user's short formats.
QString DateText();
QString TimeText();
