#pragma once

#include <QString>

// The texts that go into commands and the message.

// The part of an address before its first "@"; the whole address when it has
// none ("postmaster" is a valid recipient).
QString LocalPart(const QString &address);

// Leading and trailing blanks removed.
QString Trim(const QString &text);

// The body as it goes on the wire: every line end is CR LF and a line that
// begins with "." gets a second one, so no body can end the data early.
QString BodyForWire(const QString &body);

// Date and time of day in the user's short formats.
QString DateText();
QString TimeText();
