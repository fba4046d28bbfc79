#pragma once

#include <QDateTime>
#include <QHostAddress>
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

// The part of an address after its last "@"; empty when it has none.
QString DomainPart(const QString &address);

// A domain name in its ASCII form (IDNA, RFC 5891): what DNS and servers
// without SMTPUTF8 know. A name that has no ASCII form stays as it is, and
// the resolver or the server then says what is wrong with it.
QString AsciiDomain(const QString &domain);

// The address with its domain in ASCII form; the local part as it is.
QString AsciiAddress(const QString &address);

// The local part has characters beyond ASCII: only a server that offers
// SMTPUTF8 may take the address (RFC 6531).
bool NeedsSmtpUtf8(const QString &address);

// A display name as RFC 5322 (3.2.5) lets it stand in an address header: as
// it is when it is one atom, else as a quoted string.
QString DisplayName(const QString &name);

// A date and time as the Date header writes it (RFC 5322 3.3), with English
// names whatever the user's language: "Tue, 08 Dec 2026 09:10:03 +0100".
QString DateHeaderText(const QDateTime &when);

// This end of the connection as the argument of HELO and EHLO (RFC 5321
// 4.1.3): "[192.0.2.5]", "[IPv6:2001:db8::5]", an IPv4 address mapped into
// IPv6 in its IPv4 form. A connection without an address of its own (a test
// peer in the same process) greets as the IPv4 loopback.
QString AddressLiteral(const QHostAddress &local);

// Date and time of day in the user's short formats.
QString DateText(const QDate &date = QDate::currentDate());
QString TimeText(const QTime &time = QTime::currentTime());
