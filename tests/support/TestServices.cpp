#include "support/TestServices.h"

#include "platform/printer/PrintDialog.h"

QStringList TestServices::boxTexts(qsizetype from) const
{
    QStringList texts;
    for (qsizetype i = from; i < m_boxes.size(); ++i)
        texts.append(m_boxes.at(i).text);
    return texts;
}

void TestServices::substitutePrinting(PrinterObject *printer, PrinterList *printers)
{
    m_printer = printer;
    m_printers = printers;
}

void TestServices::ShowMessageBox(const QString &text, int style, const QString &title)
{
    const Box box{text, style, title};
    m_boxes.append(box);
    if (whileBoxOpen)
        whileBoxOpen(box);
}

void TestServices::EndProgram()
{
    ++m_programEnds;
    if (atProgramEnd)
        atProgramEnd();
}

QDateTime TestServices::Now() const
{
    return m_stoppedAt.isValid() ? m_stoppedAt : QtServices::Now();
}

PrinterObject &TestServices::Printer()
{
    return m_printer ? *m_printer : QtServices::Printer();
}

PrinterList &TestServices::Printers()
{
    return m_printers ? *m_printers : QtServices::Printers();
}

std::unique_ptr<PrintDialogComponent> TestServices::NewPrintDialog()
{
    return m_dialogs ? m_dialogs() : QtServices::NewPrintDialog();
}
