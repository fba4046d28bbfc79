#pragma once

#include <QString>
#include <array>
#include <cstdint>

// The input values of a run, held with the program's start-up: the Test
// command writes them, the mail engine reads them.
namespace Module1 {

extern std::int16_t MailCount;
extern std::array<QString, 2> MailTo; // element i: recipient of slot i; 0 unused
extern QString MailBody;
extern QString MailSubject;
extern QString MailFrom;
extern QString SmtpServer;
extern QString SmtpUser;
extern QString SmtpPass;

// The recipient of slot Index; an index outside the array is a run-time error.
const QString &MailToAt(std::int16_t Index);

} // namespace Module1
