#include "platform/printer/Printers.h"

#include "platform/Services.h"

PrinterList &Printers()
{
    return Services::InUse().Printers();
}
