#pragma once

#include <QString>

// Why a TLS handshake failed, as far as the TLS library lets it be known. Qt's
// own text for a failed handshake can be empty (OpenSSL's error queue is
// emptied while the peer's certificate is copied), so the alerts exchanged
// are kept beside it: they name the cause in the protocol's own terms.
struct TlsFailure
{
    enum class Cause {
        None,
        AlertReceived, // the server ended the handshake with a TLS alert
        AlertSent,     // this side ended it with an alert of its own
        PeerClosed,    // the server closed the connection part way through
        Other,         // only the library's text is known
    };

    Cause cause = Cause::None;
    int alert = 0;       // the alert's number (RFC 8446, section 6), e.g. 80
    QString alertName;   // the library's name for it, e.g. "internal error"
    bool fatal = true;   // the alert's level
    QString libraryText; // the socket's own text, which may name no reason
};
