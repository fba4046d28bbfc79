#pragma once

#include <QDateTime>
#include <QString>

// What the message says and to whom; MessageData writes it out.
struct MessageFields
{
    QString recipient; // as typed, blanks trimmed
    QString sender;    // the reverse-path of MAIL FROM; empty for the null one
    QString subject;
    QString text; // the body, its first line the stamp
    QDateTime date;
    QString uniqueId; // the left part of the Message-ID, new for every message
};

// The message as it goes out after DATA's 354: the headers (RFC 5322 3.6,
// MIME of RFC 2045), a blank line, the body, and the end-of-data line.
QString MessageData(const MessageFields &fields);

// The domain the message speaks for in From and Message-ID: the sender's, else
// a reserved domain that is nobody's; a domain name in every case, since
// servers that check headers refuse an address without one.
QString MessageDomain(const MessageFields &fields);
