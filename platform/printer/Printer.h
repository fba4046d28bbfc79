#pragma once

#include <QString>
#include <cstdint>

// The program-wide current printer. It stays in place between Print commands,
// so a printer and the settings chosen for it serve the next document too.
// Whatever the printer cannot do it refuses with a RuntimeError.
class PrinterObject
{
public:
    virtual ~PrinterObject() = default;

    virtual QString DeviceName() const = 0;
    virtual QString DriverName() const = 0;
    virtual QString Port() const = 0;
    virtual std::int16_t PaperBin() const = 0;

    // True: the printer switches to the system's default printer whenever
    // that changes.
    virtual void SetFollowDefault(bool follow) = 0;

    // Makes the installed printer of this device name the current one, with
    // that printer's own default settings.
    virtual void SelectDevice(const QString &deviceName) = 0;

    // The settings, in the codes of PrinterCodes.h.
    virtual void SetCopies(std::int16_t value) = 0;
    virtual void SetOrientation(std::int16_t value) = 0;
    virtual void SetColorMode(std::int16_t value) = 0;
    virtual void SetDuplex(std::int16_t value) = 0;
    virtual void SetPaperBin(std::int16_t value) = 0;
    virtual void SetPaperSize(std::int16_t value) = 0;
    virtual void SetPrintQuality(std::int16_t value) = 0;

    // Adds text to the document being built, beginning one when none is.
    virtual void Print(const QString &text) = 0;
    // Ends the document being built and sends it to the printer.
    virtual void EndDoc() = 0;
    // Discards the document being built.
    virtual void KillDoc() = 0;
};

// The current printer, the one of the services in use (Services.h).
PrinterObject &Printer();
