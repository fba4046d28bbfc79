#pragma once

#include "platform/printer/PrintDialog.h"
#include "platform/printer/PrinterFile.h"

#include <QAbstractPrintDialog>

class QPrinter;

// The printer dialog over QPrintDialog: on Linux the CUPS printers and Qt's
// "Print to File (PDF)". The driver name and port it is given have no place
// in it and are kept only; the file the user picks for a PDF becomes the
// file printer's output (PrinterFile.h).
class QtPrintDialog final : public PrintDialogComponent
{
public:
    explicit QtPrintDialog(PrintToFile &file) : m_file(file) {}

    void SetPrinterName(const QString &name) override { m_start.printerName = name; }
    void SetDriverName(const QString &name) override { m_driverName = name; }
    void SetPort(const QString &port) override { m_port = port; }
    void SetPaperBin(std::int16_t code) override { m_start.paperBin = code; }
    void SetFlags(std::int32_t flags) override { m_flags = flags; }

    bool Show(QWidget *owner) override;

    QString PrinterName() const override { return m_chosen.printerName; }
    std::int16_t Copies() const override { return m_chosen.copies; }
    std::int16_t Orientation() const override { return m_chosen.orientation; }
    std::int16_t ColorMode() const override { return m_chosen.colorMode; }
    std::int16_t Duplex() const override { return m_chosen.duplex; }
    std::int16_t PaperBin() const override { return m_chosen.paperBin; }
    std::int16_t PaperSize() const override { return m_chosen.paperSize; }
    std::int16_t PrintQuality() const override { return m_chosen.printQuality; }

    // The dialog's options for a flags word.
    static QAbstractPrintDialog::PrintDialogOptions Options(std::int32_t flags);

private:
    struct Choice
    {
        QString printerName;
        std::int16_t copies = 1;
        std::int16_t orientation = 1;
        std::int16_t colorMode = 2;
        std::int16_t duplex = 1;
        std::int16_t paperBin = 7;
        std::int16_t paperSize = 256;
        std::int16_t printQuality = 300;
    };

    void StartOn(QPrinter &printer) const;
    static Choice Read(const QPrinter &printer);

    PrintToFile &m_file;
    Choice m_start;
    Choice m_chosen;
    QString m_driverName;
    QString m_port;
    std::int32_t m_flags = 0;
};
