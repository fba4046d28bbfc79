#include "engine/AccessToken.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace AccessToken {

namespace {
const QChar Separator(0x01); // ^A between the key-value pairs

// A value the server chose, fit for one line of the log.
constexpr qsizetype MaxQuotedLength = 200;

QString Printable(QString text)
{
    text.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    return text.left(MaxQuotedLength);
}

// A JWT's header: base64url without padding, decoding to a JSON object with "alg".
bool IsJoseHeader(const QString &part)
{
    const auto decoded = QByteArray::fromBase64Encoding(
        part.toLatin1(), QByteArray::Base64UrlEncoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return false;
    const QJsonDocument header = QJsonDocument::fromJson(*decoded);
    return header.isObject() && header.object().value(QStringLiteral("alg")).isString();
}

// The characters of a bearer token (RFC 6750 2.1, b64token).
bool IsB64Token(const QString &text)
{
    static const QRegularExpression token(QStringLiteral("^[A-Za-z0-9._~+/-]+=*$"));
    return token.match(text).hasMatch();
}

// Google's access tokens begin so; a password that does too is unlikely to
// be this long and of these characters only.
const QString GooglePrefix = QStringLiteral("ya29.");
constexpr qsizetype MinPrefixedLength = 20;

// "=" and "," in the user name of a GS2 header (RFC 5801 4).
QString SaslName(QString user)
{
    user.replace(u'=', QStringLiteral("=3D"));
    user.replace(u',', QStringLiteral("=2C"));
    return user;
}
} // namespace

bool IsAccessToken(const QString &pass)
{
    if (pass.startsWith(GooglePrefix))
        return pass.size() >= MinPrefixedLength && IsB64Token(pass);
    static const QRegularExpression jwt(
        QStringLiteral("^([A-Za-z0-9_-]+)\\.[A-Za-z0-9_-]+\\.[A-Za-z0-9_-]*$"));
    const QRegularExpressionMatch match = jwt.match(pass);
    return match.hasMatch() && IsJoseHeader(match.captured(1));
}

QString Xoauth2Response(const QString &user, const QString &token)
{
    return QStringLiteral("user=") + user + Separator + QStringLiteral("auth=Bearer ") + token +
           Separator + Separator;
}

QString OAuthBearerResponse(const QString &user, const QString &host, std::int32_t port,
                            const QString &token)
{
    return QStringLiteral("n,a=") + SaslName(user) + u',' + Separator + QStringLiteral("host=") +
           host + Separator + QStringLiteral("port=") + QString::number(port) + Separator +
           QStringLiteral("auth=Bearer ") + token + Separator + Separator;
}

QString ErrorOf(const QString &challenge)
{
    const auto decoded = QByteArray::fromBase64Encoding(challenge.mid(4).trimmed().toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return {};
    const QJsonObject error = QJsonDocument::fromJson(*decoded).object();
    QStringList parts;
    for (const QString &key : {QStringLiteral("status"), QStringLiteral("scope")}) {
        const QJsonValue value = error.value(key);
        if (value.isString() || value.isDouble())
            parts << QStringLiteral("%1 \"%2\"").arg(key, Printable(value.toVariant().toString()));
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace AccessToken
