#include "platform/printer/Printer.h"

#include "platform/printer/PrinterQt.h"

namespace {
PrinterObject *&Substitute()
{
    static PrinterObject *printer = nullptr;
    return printer;
}

PrinterObject &Real()
{
    static QtPrinter printer;
    return printer;
}
} // namespace

PrinterObject &Printer()
{
    return Substitute() ? *Substitute() : Real();
}

void SubstitutePrinter(PrinterObject *printer)
{
    Substitute() = printer;
}
