#include "platform/printer/PrintDialog.h"

#include "platform/Services.h"
#include "platform/printer/PrinterErrors.h"
#include "util/RuntimeError.h"

std::unique_ptr<PrintDialogComponent> CreatePrintDialog()
{
    std::unique_ptr<PrintDialogComponent> dialog = Services::InUse().NewPrintDialog();
    if (!dialog)
        throw RuntimeError(PrinterError::DialogUnavailable,
                           QStringLiteral("The printer dialog is not available"));
    return dialog;
}
