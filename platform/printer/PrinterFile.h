#pragma once

#include <QString>

// The pseudo printer that writes the document into a PDF file. It stands in
// the list of installed printers beside the printing system's own, so that a
// machine without any printer can still keep the log on paper later. The
// printer dialog and the current printer share one, with the program's
// services (Services.h).
class PrintToFile
{
public:
    // Its device name, as the printer dialog shows it.
    static QString DeviceName();

    // The file the next document goes to: the one last chosen in the printer
    // dialog, at first vormant-log.pdf in the user's documents folder (or home).
    QString OutputFile() const;
    void SetOutputFile(const QString &path) { m_chosen = path; }

private:
    QString m_chosen;
};
