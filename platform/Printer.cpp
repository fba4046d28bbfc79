#include "platform/Printer.h"

#include "platform/PrinterQt.h"

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
