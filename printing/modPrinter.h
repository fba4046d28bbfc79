#pragma once

class LogControl;
class QWidget;

// Printing the status log after a printer dialog.
namespace modPrinter {

// Prints the plain text of the log as one document on the printer the user
// chooses in a dialog over dialogOwner (standing on its own without one).
// Every failure ends in the "Printer Error!" box; none escapes.
void PrintLog(const LogControl &log, QWidget *dialogOwner = nullptr);

// Lets the user choose a printer and its settings and makes that choice the
// current printer. Sets cancelled to true, and changes nothing else but the
// printer's following of the system default, when the user cancels. Failures
// are thrown to the caller.
void ShowPrinterDialog(bool &cancelled, QWidget *dialogOwner = nullptr);

} // namespace modPrinter
