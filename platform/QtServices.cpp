#include "platform/QtServices.h"

#include "platform/MessageBox.h"
#include "platform/TlsSessions.h"
#include "platform/printer/PrintDialogQt.h"
#include "platform/printer/PrinterFile.h"
#include "platform/printer/PrinterQt.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

QtServices::QtServices()
    : m_file(std::make_unique<PrintToFile>()), m_printer(std::make_unique<QtPrinter>(*m_file)),
      m_printers(std::make_unique<QtPrinterList>()), m_tls(std::make_unique<TlsSessions>())
{
}

QtServices::~QtServices() = default;

void QtServices::ShowMessageBox(const QString &text, int style, const QString &title)
{
    const QMessageBox::Icon icon = style == MsgBoxStyle::Exclamation ? QMessageBox::Warning
                                   : style == MsgBoxStyle::Critical  ? QMessageBox::Critical
                                                                     : QMessageBox::NoIcon;
    QMessageBox box(icon, title,
                    QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void QtServices::EndProgram()
{
    std::fflush(nullptr);
    std::_Exit(0);
}

QDateTime QtServices::Now() const
{
    return QDateTime::currentDateTime();
}

PrinterObject &QtServices::Printer()
{
    return *m_printer;
}

PrinterList &QtServices::Printers()
{
    return *m_printers;
}

std::unique_ptr<PrintDialogComponent> QtServices::NewPrintDialog()
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return nullptr;
    return std::make_unique<QtPrintDialog>(*m_file);
}

TlsSessions &QtServices::Tls()
{
    return *m_tls;
}

PrintToFile &QtServices::FilePrinter()
{
    return *m_file;
}
