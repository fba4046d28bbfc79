#include "platform/printer/Printer.h"

#include "platform/Services.h"

PrinterObject &Printer()
{
    return Services::InUse().Printer();
}
