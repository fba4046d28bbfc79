#include "platform/printer/Printers.h"

#include "platform/printer/PrinterFile.h"

#include <QPrinterInfo>

namespace {
// The printing system's printers (the CUPS queues on Linux), then the file.
class QtPrinterList final : public PrinterList
{
public:
    QStringList DeviceNames() const override
    {
        QStringList names = QPrinterInfo::availablePrinterNames();
        names.append(PrintToFile::DeviceName());
        return names;
    }
};

PrinterList *&Substitute()
{
    static PrinterList *list = nullptr;
    return list;
}
} // namespace

PrinterList &Printers()
{
    static QtPrinterList real;
    return Substitute() ? *Substitute() : real;
}

void SubstitutePrinters(PrinterList *list)
{
    Substitute() = list;
}
