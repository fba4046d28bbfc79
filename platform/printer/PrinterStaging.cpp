#include "platform/printer/PrinterStaging.h"

#include "platform/printer/PrinterErrors.h"
#include "util/RuntimeError.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryFile>

#include <cstdio>
#include <cups/cups.h>
#include <utility>
#include <vector>

namespace {
[[noreturn]] void Fail(const QString &what)
{
    throw RuntimeError(PrinterError::PrintingFailed, what);
}

// The options Qt's own CUPS support gives a job, from the printer's settings.
std::vector<std::pair<QByteArray, QByteArray>> JobOptions(const QPrinter &printer)
{
    const QPageLayout layout = printer.pageLayout();
    const bool landscape = layout.orientation() == QPageLayout::Landscape;
    std::vector<std::pair<QByteArray, QByteArray>> options{
        {"media", layout.pageSize().key().toUtf8()}};
    if (printer.copyCount() > 1) {
        options.emplace_back("copies", QByteArray::number(printer.copyCount()));
        if (printer.collateCopies())
            options.emplace_back("Collate", "True");
    }
    switch (printer.duplex()) {
    case QPrinter::DuplexNone:
        options.emplace_back("sides", "one-sided");
        break;
    case QPrinter::DuplexAuto:
        options.emplace_back("sides", landscape ? "two-sided-short-edge" : "two-sided-long-edge");
        break;
    case QPrinter::DuplexLongSide:
        options.emplace_back("sides", "two-sided-long-edge");
        break;
    case QPrinter::DuplexShortSide:
        options.emplace_back("sides", "two-sided-short-edge");
        break;
    }
    if (landscape)
        options.emplace_back("landscape", "");
    return options;
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
    const std::vector<std::pair<QByteArray, QByteArray>> options = JobOptions(m_printer);
    std::vector<cups_option_t> cupsOptions;
    for (const auto &[name, value] : options)
        cupsOptions.push_back(
            {const_cast<char *>(name.constData()), const_cast<char *>(value.constData())});
    // The queue's name without an instance ("queue/instance").
    const QByteArray queue = m_queue.section(u'/', 0, 0).toLocal8Bit();
    const int job = cupsPrintFile(queue.constData(), QFile::encodeName(m_staging).constData(),
                                  m_printer.docName().toLocal8Bit().constData(),
                                  int(cupsOptions.size()), cupsOptions.data());
    if (job == 0)
        Fail(cannot + QStringLiteral(": ") + QString::fromLocal8Bit(cupsLastErrorString()));
}
