#pragma once

#include "platform/Services.h"

class PrintToFile;
class QtPrinter;
class QtPrinterList;

// The services of the desktop, over Qt: QMessageBox, the end of the
// process, the system clock, the printers of the printing system with the
// file printer, QPrintDialog, and a cache of TLS sessions that lives as long
// as these services.
class QtServices : public Services
{
public:
    QtServices();
    ~QtServices() override;
    QtServices(const QtServices &) = delete;
    QtServices &operator=(const QtServices &) = delete;

    void ShowMessageBox(const QString &text, int style, const QString &title) override;
    void EndProgram() override;
    QDateTime Now() const override;
    PrinterObject &Printer() override;
    PrinterList &Printers() override;
    // nullptr without a widget application: the dialog is a widget.
    std::unique_ptr<PrintDialogComponent> NewPrintDialog() override;
    TlsSessions &Tls() override;

    // Where the file printer writes, as the dialog last chose it.
    PrintToFile &FilePrinter();

private:
    const std::unique_ptr<PrintToFile> m_file;
    const std::unique_ptr<QtPrinter> m_printer;
    const std::unique_ptr<QtPrinterList> m_printers;
    const std::unique_ptr<TlsSessions> m_tls;
};
