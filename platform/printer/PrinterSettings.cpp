#include "platform/printer/PrinterSettings.h"

PrinterSettings PrinterSettings::Of(const QPrinter &printer)
{
    PrinterSettings settings;
    settings.copies = printer.copyCount();
    settings.orientation = printer.pageLayout().orientation();
    settings.colorMode = printer.colorMode();
    settings.duplex = printer.duplex();
    settings.paperSource = printer.paperSource();
    settings.pageSize = printer.pageLayout().pageSize();
    settings.resolution = printer.resolution();
    return settings;
}

void PrinterSettings::ApplyTo(QPrinter &printer) const
{
    // The paper first: a new page size brings the printer's margins for it,
    // and the orientation turns that page.
    if (pageSize.isValid())
        printer.setPageSize(pageSize);
    printer.setPageOrientation(orientation);
    printer.setCopyCount(copies);
    printer.setColorMode(colorMode);
    printer.setDuplex(duplex);
    printer.setPaperSource(paperSource);
    if (resolution > 0)
        printer.setResolution(resolution);
}
