#pragma once

#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>

// The settings of the current printer as QPrinter values. The printer keeps
// them between documents and puts them on a fresh QPrinter for each one.
struct PrinterSettings
{
    int copies = 1;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QPrinter::ColorMode colorMode = QPrinter::Color;
    QPrinter::DuplexMode duplex = QPrinter::DuplexNone;
    QPrinter::PaperSource paperSource = QPrinter::Auto;
    QPageSize pageSize; // invalid: the printer's own
    int resolution = 0; // 0: the printer's own

    // What a printer starts with.
    static PrinterSettings Of(const QPrinter &printer);
    void ApplyTo(QPrinter &printer) const;
};
