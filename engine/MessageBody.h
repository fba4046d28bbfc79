#pragma once

#include <QString>

// The text of the message as it goes on the wire, after the headers.
struct WireBody
{
    // The Content-Transfer-Encoding header's value: "7bit", or
    // "quoted-printable" for a text that has a character beyond ASCII or a
    // line longer than a line of mail may be (RFC 5322 2.1.1).
    QString encoding;
    // The lines, each ending CR LF; a line that begins with "." gets a
    // second one, so no body can end the data early.
    QString text;
};

// The body as typed (any line ends) made fit for the wire: the 7-bit text as
// it stands, or else its UTF-8 bytes in quoted-printable (RFC 2045 6.7),
// whose soft line breaks keep every line short and which a reader decodes
// back to the very text typed.
WireBody BodyForWire(const QString &body);

// The longest line of a message, CR LF not counted (RFC 5321 4.5.3.1.6).
constexpr qsizetype MaxLineOctets = 998;
