#pragma once

#include <QString>

class RuntimeError;

namespace modPrinter {

// "Printer Error!", the error number and its description, a line each.
QString PrinterFailureMessage(int number, const QString &description);

// Shows the failure in a box and discards the unfinished document. Never
// throws: a failure while discarding gets a box of its own.
void HandlePrinterFailure(const RuntimeError &failure);

} // namespace modPrinter
