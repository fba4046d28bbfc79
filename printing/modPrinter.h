#pragma once

class StatusLog;

// Printing the status log after a printer dialog.
namespace modPrinter {
void PrintLog(StatusLog &log);
} // namespace modPrinter
