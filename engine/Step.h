#pragma once

#include <cstdint>

namespace modQuendel_EmailClient {

// The values of SmtpStep: what the client sends when the next accepted reply
// arrives. The step only moves forward; QuitSent is the last.
enum class Step : std::int32_t {
    Helo = 0,
    AuthLogin = 1,
    UserName = 2,
    Password = 3,
    MailFrom = 4,
    RcptTo = 5,
    Data = 6,
    Message = 7,
    Quit = 8,
    QuitSent = 9,
    // Beside the line above, for a login protected by TLS (RFC 3207): STARTTLS
    // sent, its 220 starts the handshake; the handshake running, its end sends
    // EHLO again.
    StartTls = 10,
    Handshake = 11,
    // Beside it too, a login with an access token: its AUTH sent, a 235 leads to
    // MAIL FROM; the 334 with the server's error is answered so that the server
    // can end the exchange with its refusal, the only reply still awaited.
    TokenLogin = 12,
    TokenRefused = 13,
    // EHLO sent, or the HELO after a refused EHLO: the reply says what the
    // server offers, and leads to STARTTLS, a login or MAIL FROM.
    EhloReply = 14,
};

} // namespace modQuendel_EmailClient
