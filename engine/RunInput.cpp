#include "engine/RunInput.h"

#include "util/RuntimeError.h"

namespace Module1 {

std::int16_t MailCount = 0;
std::array<QString, 2> MailTo;
QString MailBody;
QString MailSubject;
QString MailFrom;
QString SmtpServer;
QString SmtpUser;
QString SmtpPass;

const QString &MailToAt(std::int16_t Index)
{
    if (Index < 0 || std::size_t(Index) >= MailTo.size())
        throw RuntimeError(ErrorNumber::SubscriptOutOfRange,
                           QStringLiteral("Subscript out of range"));
    return MailTo[std::size_t(Index)];
}

} // namespace Module1
