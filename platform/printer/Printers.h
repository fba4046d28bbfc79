#pragma once

#include <QStringList>

// The installed printers. An entry becomes the current printer through
// Printer().SelectDevice(name).
class PrinterList
{
public:
    virtual ~PrinterList() = default;

    // The device names, in the printing system's order; a fresh look each time.
    virtual QStringList DeviceNames() const = 0;
};

PrinterList &Printers();

// Tests put a list of their own here; nullptr restores the real one.
void SubstitutePrinters(PrinterList *list);
