#include "app/FieldCheck.h"

#include "engine/MessageText.h"
#include "engine/ServerAddress.h"

#include <algorithm>

namespace {
const QString FormFillError = QStringLiteral("Form Fill Error!\r\n");

bool HasControlCharacter(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
}
} // namespace

QString FieldCheckError(const QString &message, const QString &email, const QString &server)
{
    // An exact test for the empty text: a field of blanks passes.
    if (message.isEmpty() || email.isEmpty() || server.isEmpty())
        return FormFillError + QStringLiteral("Please fill out all information");
    // The address goes into commands and headers: a line break in it would
    // let the field write commands of its own.
    if (HasControlCharacter(email))
        return FormFillError +
               QStringLiteral(
                   "The email address may not contain line breaks or control characters");
    // The address goes out between angle brackets, which these would break.
    if (BreaksPathBrackets(email))
        return FormFillError +
               QStringLiteral("The email address may not contain \"<\", \">\" or blanks");
    if (HasControlCharacter(server))
        return FormFillError +
               QStringLiteral("The server name may not contain line breaks or control characters");
    if (!ParseServerAddress(server).valid)
        return FormFillError + QStringLiteral("The server's port must be a number from 1 to 65535");
    return {};
}
