#include "printing/PrinterFailure.h"

#include "platform/MessageBox.h"
#include "platform/printer/Printer.h"
#include "platform/printer/PrinterErrors.h"
#include "util/RuntimeError.h"

#include <optional>

namespace modPrinter {
namespace {
void ShowFailure(const RuntimeError &failure)
{
    MsgBox(PrinterFailureMessage(failure.number(), failure.description()), MsgBoxStyle::OkOnly);
}

// The unfinished document goes whichever step failed; when even that fails
// (no printer reachable at all), the user hears of it and the program goes on.
std::optional<RuntimeError> DiscardDocument()
{
    try {
        Printer().KillDoc();
    } catch (const RuntimeError &error) {
        return error;
    } catch (const std::exception &error) {
        return RuntimeError(PrinterError::Unexpected, QString::fromLocal8Bit(error.what()));
    }
    return std::nullopt;
}
} // namespace

QString PrinterFailureMessage(int number, const QString &description)
{
    return QStringLiteral("Printer Error!\r\nError Number: %1\r\n%2")
        .arg(QString::number(number), description);
}

void HandlePrinterFailure(const RuntimeError &failure)
{
    ShowFailure(failure);
    if (const std::optional<RuntimeError> discardFailure = DiscardDocument())
        ShowFailure(*discardFailure);
}

} // namespace modPrinter
