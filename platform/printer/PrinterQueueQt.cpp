#include "platform/printer/PrinterQueue.h"

#include "platform/printer/PrinterErrors.h"
#include "util/RuntimeError.h"

// Built where the system has no CUPS library: printers are reached only
// through Qt's own print path.
namespace PrinterQueue {
bool TakesFinishedFiles()
{
    return false;
}

void Submit(const QPrinter &, const QString &, const QString &, const QString &cannot)
{
    throw RuntimeError(PrinterError::PrintingFailed, cannot);
}
} // namespace PrinterQueue
