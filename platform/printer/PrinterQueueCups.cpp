#include "platform/printer/PrinterQueue.h"

#include "platform/printer/PrinterErrors.h"
#include "util/RuntimeError.h"

#include <QFile>
#include <QPrinter>

#include <cups/cups.h>
#include <utility>
#include <vector>

namespace {
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

namespace PrinterQueue {
bool TakesFinishedFiles()
{
    return true;
}

void Submit(const QPrinter &printer, const QString &queue, const QString &file,
            const QString &cannot)
{
    const std::vector<std::pair<QByteArray, QByteArray>> options = JobOptions(printer);
    std::vector<cups_option_t> cupsOptions;
    for (const auto &[name, value] : options)
        cupsOptions.push_back(
            {const_cast<char *>(name.constData()), const_cast<char *>(value.constData())});
    // The queue's name without an instance ("queue/instance").
    const QByteArray name = queue.section(u'/', 0, 0).toLocal8Bit();
    const int job = cupsPrintFile(name.constData(), QFile::encodeName(file).constData(),
                                  printer.docName().toLocal8Bit().constData(),
                                  int(cupsOptions.size()), cupsOptions.data());
    if (job == 0)
        throw RuntimeError(PrinterError::PrintingFailed,
                           cannot + QStringLiteral(": ") +
                               QString::fromLocal8Bit(cupsLastErrorString()));
}
} // namespace PrinterQueue
