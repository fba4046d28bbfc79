#pragma once

#include <QString>
#include <cstdint>

// OAuth 2.0 bearer tokens in the Pass field: what large providers take
// instead of passwords, sent with the SASL mechanisms XOAUTH2 (Google's and
// Microsoft's) and OAUTHBEARER (RFC 7628).
namespace AccessToken {

// The text is an access token, not a password: a JSON Web Token (RFC 7519:
// three base64url parts joined by dots, the first a JSON header that names
// its algorithm), or a token with a provider's prefix (Google's "ya29.").
bool IsAccessToken(const QString &pass);

// The initial responses, before Base64. XOAUTH2: "user=" user ^A
// "auth=Bearer " token ^A ^A. OAUTHBEARER: the GS2 header naming the user,
// then host, port and the token (RFC 7628 3.1).
QString Xoauth2Response(const QString &user, const QString &token);
QString OAuthBearerResponse(const QString &user, const QString &host, std::int32_t port,
                            const QString &token);

// The server's error in a 334 challenge (RFC 7628 3.2.2: Base64 of a JSON
// object) as a note quotes it: `status "401", scope "https://mail.google.com/"`;
// empty when the challenge holds no such object.
QString ErrorOf(const QString &challenge);

} // namespace AccessToken
