#pragma once

#include <QString>

class QPrinter;

// Handing a finished document to a printer's queue. Where the system's
// printing library is there, a document is staged as a whole file and goes
// to the queue only once it is complete; where it is not, Qt's own print
// path paints straight into the queue.
namespace PrinterQueue {
// Whether a finished file can be handed to a queue.
bool TakesFinishedFiles();
// Hands the finished PDF file to the queue with the printer's settings. A
// queue that refuses it is a RuntimeError: `cannot` and the queue's reason.
void Submit(const QPrinter &printer, const QString &queue, const QString &file,
            const QString &cannot);
} // namespace PrinterQueue
