#include "platform/printer/PrinterQt.h"

#include "platform/printer/PrinterCodes.h"
#include "platform/printer/PrinterErrors.h"
#include "platform/printer/PrinterFile.h"
#include "platform/printer/PrinterPages.h"
#include "platform/printer/PrinterStaging.h"
#include "util/RuntimeError.h"

#include <QPrinter>
#include <QPrinterInfo>

namespace {
QString DefaultDeviceName()
{
    const QString name = QPrinterInfo::defaultPrinterName();
    // Without any printer, paper has to wait: the log goes into a file.
    return name.isEmpty() ? PrintToFile::DeviceName() : name;
}

[[noreturn]] void NotAvailable(const QString &deviceName)
{
    throw RuntimeError(PrinterError::PrintingFailed,
                       QStringLiteral("The printer \"%1\" is not available").arg(deviceName));
}
} // namespace

bool QtPrinter::IsFile(const QString &deviceName)
{
    return deviceName == PrintToFile::DeviceName();
}

QtPrinter::Device QtPrinter::Open(const QString &deviceName)
{
    if (IsFile(deviceName)) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        return {deviceName, QStringLiteral("PDF"), {}, PrinterSettings::Of(printer)};
    }
    const QPrinterInfo info = QPrinterInfo::printerInfo(deviceName);
    if (info.isNull())
        NotAvailable(deviceName);
    const QPrinter printer(info, QPrinter::HighResolution);
    return {info.printerName(), info.makeAndModel(), info.location(), PrinterSettings::Of(printer)};
}

QtPrinter::Device &QtPrinter::Current() const
{
    if (!m_device || (m_followDefault && m_device->name != DefaultDeviceName()))
        m_device = Open(DefaultDeviceName());
    return *m_device;
}

QString QtPrinter::DeviceName() const
{
    return Current().name;
}

QString QtPrinter::DriverName() const
{
    return Current().driverName;
}

QString QtPrinter::Port() const
{
    // The file printer's port is where its next document goes.
    return IsFile(Current().name) ? m_file.OutputFile() : Current().port;
}

std::int16_t QtPrinter::PaperBin() const
{
    return PrinterCodes::PaperBinCode(Current().settings.paperSource);
}

void QtPrinter::SetFollowDefault(bool follow)
{
    Current(); // a printer that stops following stays on the one it has now
    m_followDefault = follow;
}

void QtPrinter::SelectDevice(const QString &deviceName)
{
    m_device = Open(deviceName);
}

void QtPrinter::SetCopies(std::int16_t value)
{
    Current().settings.copies = PrinterCodes::CopyCount(value);
}

void QtPrinter::SetOrientation(std::int16_t value)
{
    Current().settings.orientation = PrinterCodes::Orientation(value);
}

void QtPrinter::SetColorMode(std::int16_t value)
{
    Current().settings.colorMode = PrinterCodes::ColorMode(value);
}

void QtPrinter::SetDuplex(std::int16_t value)
{
    Current().settings.duplex = PrinterCodes::Duplex(value);
}

void QtPrinter::SetPaperBin(std::int16_t value)
{
    Current().settings.paperSource = PrinterCodes::PaperSource(value);
}

void QtPrinter::SetPaperSize(std::int16_t value)
{
    if (const std::optional<QPageSize> size = PrinterCodes::PageSize(value))
        Current().settings.pageSize = *size;
}

void QtPrinter::SetPrintQuality(std::int16_t value)
{
    if (const std::optional<int> dotsPerInch = PrinterCodes::Resolution(value))
        Current().settings.resolution = *dotsPerInch;
}

void QtPrinter::Print(const QString &text)
{
    if (!m_document)
        m_document.emplace();
    m_document->append(text);
}

void QtPrinter::PrepareForDocument(QPrinter &printer) const
{
    const Device &device = Current();
    if (IsFile(device.name)) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_file.OutputFile());
    } else {
        const QPrinterInfo info = QPrinterInfo::printerInfo(device.name);
        if (info.isNull())
            NotAvailable(device.name);
        printer.setPrinterName(info.printerName());
    }
    device.settings.ApplyTo(printer);
    // A margin that reads comfortably; Qt widens it where a printer needs more.
    printer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    printer.setDocName(QStringLiteral("Vormant"));
    printer.setCreator(QStringLiteral("Vormant"));
}

void QtPrinter::EndDoc()
{
    if (!m_document)
        return;
    QPrinter printer(QPrinter::HighResolution);
    PrepareForDocument(printer);
    StagedDocument document(printer);
    PrintPages(printer, m_document->join(QStringLiteral("\r\n")), document.Destination());
    document.Deliver();
    m_document.reset();
}

void QtPrinter::KillDoc()
{
    m_document.reset();
}

QStringList QtPrinterList::DeviceNames() const
{
    QStringList names = QPrinterInfo::availablePrinterNames();
    names.append(PrintToFile::DeviceName());
    return names;
}
