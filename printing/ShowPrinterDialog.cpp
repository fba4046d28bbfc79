#include "printing/modPrinter.h"

#include "platform/printer/PrintDialog.h"
#include "platform/printer/Printer.h"
#include "platform/printer/Printers.h"

namespace modPrinter {
namespace {
// Every installed printer of that name, in any letter case, becomes current
// in turn, so the last of several is the one in force; with none the current
// printer stays.
void SelectInstalledPrinter(const QString &upperCaseName)
{
    const QStringList installed = Printers().DeviceNames();
    for (const QString &deviceName : installed) {
        if (deviceName.toUpper() == upperCaseName)
            Printer().SelectDevice(deviceName);
    }
}

// One by one, so that a setting the printer refuses leaves those before it
// in force and the later ones unwritten.
void CopySettings(const PrintDialogComponent &dialog)
{
    Printer().SetCopies(dialog.Copies());
    Printer().SetOrientation(dialog.Orientation());
    Printer().SetColorMode(dialog.ColorMode());
    Printer().SetDuplex(dialog.Duplex());
    Printer().SetPaperBin(dialog.PaperBin());
    Printer().SetPaperSize(dialog.PaperSize());
    Printer().SetPrintQuality(dialog.PrintQuality());
}
} // namespace

void ShowPrinterDialog(bool &cancelled, QWidget *dialogOwner)
{
    const std::unique_ptr<PrintDialogComponent> dialog = CreatePrintDialog();
    dialog->SetPrinterName(Printer().DeviceName());
    dialog->SetDriverName(Printer().DriverName());
    dialog->SetPort(Printer().Port());
    dialog->SetPaperBin(Printer().PaperBin());
    dialog->SetFlags(PrintDialogFlags::NoSelection | PrintDialogFlags::NoPageNums |
                     PrintDialogFlags::ReturnDC);
    Printer().SetFollowDefault(false);

    if (!dialog->Show(dialogOwner)) {
        cancelled = true;
        return;
    }

    const QString chosen = dialog->PrinterName().toUpper();
    if (Printer().DeviceName().toUpper() != chosen)
        SelectInstalledPrinter(chosen);
    CopySettings(*dialog);
}

} // namespace modPrinter
