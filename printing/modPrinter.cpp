#include "printing/modPrinter.h"

#include "platform/StatusLog.h"

namespace modPrinter {
void PrintLog(StatusLog &log)
{
    Q_UNUSED(log); // printing arrives with its own change
}
} // namespace modPrinter
