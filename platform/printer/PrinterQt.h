#pragma once

#include "platform/printer/Printer.h"
#include "platform/printer/PrinterFile.h"
#include "platform/printer/PrinterSettings.h"
#include "platform/printer/Printers.h"

#include <QStringList>
#include <optional>

class QPrinter;

// The current printer over QPrinter: a printer of the printing system (CUPS
// on Linux) or the print-to-file pseudo printer. It keeps the device and its
// settings, and puts both on a fresh QPrinter for each document.
//
// The document being built is kept as text until it ends; so it can still
// be discarded whole, and a printer job only ever holds a finished document.
class QtPrinter final : public PrinterObject
{
public:
    // The file printer's document goes where the dialog last chose.
    explicit QtPrinter(const PrintToFile &file) : m_file(file) {}

    QString DeviceName() const override;
    QString DriverName() const override;
    QString Port() const override;
    std::int16_t PaperBin() const override;
    void SetFollowDefault(bool follow) override;
    void SelectDevice(const QString &deviceName) override;

    void SetCopies(std::int16_t value) override;
    void SetOrientation(std::int16_t value) override;
    void SetColorMode(std::int16_t value) override;
    void SetDuplex(std::int16_t value) override;
    void SetPaperBin(std::int16_t value) override;
    void SetPaperSize(std::int16_t value) override;
    void SetPrintQuality(std::int16_t value) override;

    void Print(const QString &text) override;
    void EndDoc() override;
    void KillDoc() override;

private:
    struct Device
    {
        QString name;
        QString driverName;
        QString port;
        PrinterSettings settings;
    };

    static Device Open(const QString &deviceName);
    static bool IsFile(const QString &deviceName);
    void PrepareForDocument(QPrinter &printer) const;

    // The device in force: the system's default one while following it.
    // Reading a following printer may switch it, hence mutable.
    Device &Current() const;

    const PrintToFile &m_file;
    mutable std::optional<Device> m_device;
    bool m_followDefault = true;
    std::optional<QStringList> m_document;
};

// The printing system's printers (the CUPS queues on Linux), then the file.
class QtPrinterList final : public PrinterList
{
public:
    QStringList DeviceNames() const override;
};
