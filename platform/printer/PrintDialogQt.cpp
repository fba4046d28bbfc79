#include "platform/printer/PrintDialogQt.h"

#include "platform/printer/PrinterCodes.h"
#include "platform/printer/PrinterFile.h"
#include "util/RuntimeError.h"

#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

QAbstractPrintDialog::PrintDialogOptions QtPrintDialog::Options(std::int32_t flags)
{
    QAbstractPrintDialog::PrintDialogOptions options = QAbstractPrintDialog::PrintToFile |
                                                       QAbstractPrintDialog::PrintShowPageSize |
                                                       QAbstractPrintDialog::PrintCollateCopies;
    if (!(flags & PrintDialogFlags::NoSelection))
        options |= QAbstractPrintDialog::PrintSelection;
    if (!(flags & PrintDialogFlags::NoPageNums))
        options |= QAbstractPrintDialog::PrintPageRange;
    return options;
}

void QtPrintDialog::StartOn(QPrinter &printer) const
{
    if (m_start.printerName.compare(PrintToFile::DeviceName(), Qt::CaseInsensitive) == 0) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_file.OutputFile());
    } else {
        const QPrinterInfo info = QPrinterInfo::printerInfo(m_start.printerName);
        if (!info.isNull())
            printer.setPrinterName(info.printerName());
    }
    try {
        printer.setPaperSource(PrinterCodes::PaperSource(m_start.paperBin));
    } catch (const RuntimeError &) {
        // A tray this dialog does not know: it starts on the printer's own.
    }
}

QtPrintDialog::Choice QtPrintDialog::Read(const QPrinter &printer)
{
    Choice choice;
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
    choice.printerName = toFile ? PrintToFile::DeviceName() : printer.printerName();
    choice.copies = PrinterCodes::CopiesCode(printer.copyCount());
    choice.orientation = PrinterCodes::OrientationCode(printer.pageLayout().orientation());
    choice.colorMode = PrinterCodes::ColorModeCode(printer.colorMode());
    choice.duplex = PrinterCodes::DuplexCode(printer.duplex());
    choice.paperBin = PrinterCodes::PaperBinCode(printer.paperSource());
    choice.paperSize = PrinterCodes::PaperSizeCode(printer.pageLayout().pageSize());
    choice.printQuality = PrinterCodes::PrintQualityCode(printer.resolution());
    return choice;
}

bool QtPrintDialog::Show(QWidget *owner)
{
    QPrinter printer(QPrinter::HighResolution);
    StartOn(printer);
    QPrintDialog dialog(&printer, owner);
    dialog.setOptions(Options(m_flags));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    m_chosen = Read(printer);
    if (printer.outputFormat() == QPrinter::PdfFormat)
        m_file.SetOutputFile(printer.outputFileName());
    return true;
}
