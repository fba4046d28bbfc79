#pragma once

#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>

class frmMain;

// Start-up, the one window and the input values of a run: the Test command
// writes them, the mail engine reads them.
namespace Module1 {

// The one window; set by Main and never changed.
extern QPointer<frmMain> MainForm;

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

// Creates, loads and shows the window; the program then lives on its events.
void Main();

} // namespace Module1
