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

// The list of the services in use (Services.h).
PrinterList &Printers();
