#include "platform/printer/PrinterStaging.h"

#include "platform/printer/PrinterErrors.h"
#include "platform/printer/PrinterQueue.h"
#include "util/RuntimeError.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryFile>

#include <cstdio>

namespace {
[[noreturn]] void Fail(const QString &what)
{
    throw RuntimeError(PrinterError::PrintingFailed, what);
}
} // namespace

StagedDocument::StagedDocument(QPrinter &printer) : m_printer(printer)
{
    // Next to the chosen file, so that the finished document replaces it in
    // one step; a name without ".pdf" keeps a printer on its CUPS engine.
    QString pattern;
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        m_file = printer.outputFileName();
        const QFileInfo file(m_file);
        pattern = file.dir().filePath(QStringLiteral(".%1.XXXXXX.part").arg(file.fileName()));
    } else {
        m_queue = printer.printerName();
        // Without a way to hand a finished file to the queue, the document
        // goes out through Qt's own print path as it is painted.
        if (!PrinterQueue::TakesFinishedFiles())
            return;
        pattern = QDir::temp().filePath(QStringLiteral("vormant-print-XXXXXX.part"));
    }
    QTemporaryFile staging(pattern);
    staging.setAutoRemove(false);
    if (!staging.open())
        Fail(QStringLiteral("Cannot start the document on %1").arg(Destination()));
    m_staging = staging.fileName();
    printer.setOutputFileName(m_staging);
}

StagedDocument::~StagedDocument()
{
    if (!m_staging.isEmpty())
        QFile::remove(m_staging);
}

QString StagedDocument::Destination() const
{
    return m_queue.isEmpty() ? QStringLiteral("the file \"%1\"").arg(m_file)
                             : QStringLiteral("the printer \"%1\"").arg(m_queue);
}

// Qt's PDF engine does not report a write that fails while it ends the
// document; a document cut short that way lacks the end mark of a PDF.
bool StagedDocument::Complete() const
{
    QFile file(m_staging);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 16)
        return false;
    file.seek(file.size() - 16);
    return file.read(16).contains("%%EOF");
}

void StagedDocument::Deliver()
{
    if (m_staging.isEmpty())
        return; // painted straight into the queue
    const QString cannot =
        QStringLiteral("The document could not be sent to %1").arg(Destination());
    if (!Complete())
        Fail(cannot);
    if (m_queue.isEmpty()) {
        // rename() replaces an older file of that name in one step.
        if (std::rename(QFile::encodeName(m_staging).constData(),
                        QFile::encodeName(m_file).constData()) != 0)
            Fail(cannot);
        m_staging.clear();
        return;
    }
    PrinterQueue::Submit(m_printer, m_queue, m_staging, cannot);
}
