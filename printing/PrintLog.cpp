#include "printing/modPrinter.h"

#include "platform/LogControl.h"
#include "platform/printer/Printer.h"
#include "platform/printer/PrinterErrors.h"
#include "printing/PrinterFailure.h"
#include "util/RuntimeError.h"

#include <optional>

namespace modPrinter {

void PrintLog(const LogControl &log, QWidget *dialogOwner)
{
    // The failure is reported once the work has unwound, so the dialog is
    // released before the box appears.
    std::optional<RuntimeError> failure;
    try {
        bool cancelled = false;
        ShowPrinterDialog(cancelled, dialogOwner);
        if (cancelled)
            return;
        Printer().Print(log.Text());
        Printer().EndDoc();
    } catch (const RuntimeError &error) {
        failure = error;
    } catch (const std::exception &error) {
        failure.emplace(PrinterError::Unexpected, QString::fromLocal8Bit(error.what()));
    }
    if (failure)
        HandlePrinterFailure(*failure);
}

} // namespace modPrinter
