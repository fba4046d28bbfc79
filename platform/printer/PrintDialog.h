#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class QWidget;

// The bits of the printer dialog's flags word.
namespace PrintDialogFlags {
constexpr std::int32_t NoSelection = 4; // offer no range for a selection
constexpr std::int32_t NoPageNums = 8;  // offer no page-number range
constexpr std::int32_t ReturnDC = 256;  // make a device context for the chosen printer
} // namespace PrintDialogFlags

// The printer dialog component. One instance serves one Print command and is
// released when it is destroyed. What is written before Show is where the
// dialog starts; what is read after a confirmed Show is the user's choice,
// the settings in the codes of PrinterCodes.h.
class PrintDialogComponent
{
public:
    virtual ~PrintDialogComponent() = default;

    virtual void SetPrinterName(const QString &name) = 0;
    virtual void SetDriverName(const QString &name) = 0;
    virtual void SetPort(const QString &port) = 0;
    virtual void SetPaperBin(std::int16_t code) = 0;
    virtual void SetFlags(std::int32_t flags) = 0;

    // Modal: returns when the user has closed the dialog, true only when the
    // user confirmed.
    virtual bool Show(QWidget *owner) = 0;

    virtual QString PrinterName() const = 0;
    virtual std::int16_t Copies() const = 0;
    virtual std::int16_t Orientation() const = 0;
    virtual std::int16_t ColorMode() const = 0;
    virtual std::int16_t Duplex() const = 0;
    virtual std::int16_t PaperBin() const = 0;
    virtual std::int16_t PaperSize() const = 0;
    virtual std::int16_t PrintQuality() const = 0;
};

// A new instance, made by the services in use (Services.h); a RuntimeError
// PrinterError::DialogUnavailable when none can be made.
std::unique_ptr<PrintDialogComponent> CreatePrintDialog();
