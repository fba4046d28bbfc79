#pragma once

#include <QString>

class QPrinter;

// A document is printed into a staging file of its own and reaches its
// destination only once it is complete, so that a failure part-way leaves
// neither half a PDF where the user wanted the file nor half a job in the
// print queue. QPrinter::abort() cannot do this here: Qt's PDF and CUPS
// engines ignore it, and the painter's end then sends what there is.
class StagedDocument
{
public:
    // Points the printer, already set up for its destination, at the
    // staging file. A staging file that cannot be made is a RuntimeError.
    explicit StagedDocument(QPrinter &printer);
    // A document that was not delivered is removed.
    ~StagedDocument();
    StagedDocument(const StagedDocument &) = delete;
    StagedDocument &operator=(const StagedDocument &) = delete;

    // Where the document goes, for messages: the file "…" or the printer "…".
    QString Destination() const;
    // Moves the complete document into the chosen file, or hands it to the
    // printer's queue. A destination that refuses it is a RuntimeError.
    void Deliver();

private:
    bool Complete() const;

    QPrinter &m_printer;
    QString m_file;  // the chosen file; empty for a printer
    QString m_queue; // the printer's queue; empty for a file
    QString m_staging;
};
